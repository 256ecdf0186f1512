#include "android/AndroidDevice.h"

#include "app/AppFolders.h"

#include <QDir>
#include <QRegularExpression>

namespace {

// A folder name from text the phone sent, or empty when nothing usable is left.
// Control characters go too, and the name is kept short: otherwise the folder
// could not be made at all.
QString safeFolderName(const QString &text)
{
    const QString name = fileNameWithin(sanitizeFileName(withoutControlCharacters(text))).trimmed();
    static const QRegularExpression onlyDots(QStringLiteral("^\\.*$"));
    return onlyDots.match(name).hasMatch() ? QString() : name;
}

int decimal(const QString &value)
{
    return value.toInt();  // 0 when not a number
}

} // namespace

QString AndroidDevice::displayName() const
{
    QString name = manufacturer;
    if (!model.isEmpty())
        name += QLatin1Char(' ') + model;
    return name.trimmed();
}

QString AndroidDevice::deviceKey() const
{
    return viaWifi ? uid : serial;
}

QString AndroidDevice::cacheFolder() const
{
    QString name = safeFolderName(imei);
    if (name.isEmpty())
        name = safeFolderName(uid);
    if (name.isEmpty())
        name = QStringLiteral("unknown");
    const QString path = dataRootDir().absoluteFilePath(QStringLiteral("android_cache/") + name);
    QDir().mkpath(path);
    return path;
}

void AndroidDevice::applyInfoText(const QString &text)
{
    static const QRegularExpression pair(QStringLiteral("([^=;]+)=([^=;]+);?"));
    auto it = pair.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString key = match.captured(1);
        const QString value = match.captured(2);
        if (key == QLatin1String("version"))
            version = decimal(value);
        else if (key == QLatin1String("model"))
            model = value;
        else if (key == QLatin1String("manufacturer"))
            manufacturer = value;
        else if (key == QLatin1String("imei"))
            imei = value;
        else if (key == QLatin1String("uid"))
            uid = value;
        else if (key == QLatin1String("sdk"))
            sdk = value;
        else if (key == QLatin1String("sdk_id"))
            sdkId = decimal(value);
        else if (key == QLatin1String("root"))
            root = decimal(value) != 0;
        else if (key == QLatin1String("storage1"))
            storage1 = value;
        else if (key == QLatin1String("mmc"))
            mmc = value;
    }
}

void registerAndroidDeviceMetaType()
{
    qRegisterMetaType<AndroidDevice>("AndroidDevice");
}
