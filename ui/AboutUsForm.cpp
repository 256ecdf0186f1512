#include "ui/AboutUsForm.h"

#include "app/AppInfo.h"
#include "app/StyleSheet.h"
#include "app/VendorServer.h"
#include "app/WinMovable.h"

#include <QDate>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPictureHeight = 64;
const char *const kLinkColour = "#3894BC";

} // namespace

AboutUsForm::AboutUsForm(QWidget *parent)
    : QDialog(parent)
    , m_mover(std::make_unique<WinMovable>(this))
{
    buildUi();
    showPicture();
    connect(btnOK, &QPushButton::pressed, this, &QDialog::accept);
}

AboutUsForm::~AboutUsForm() = default;

QString AboutUsForm::productLine()
{
    return QStringLiteral("%1 v%2").arg(AppInfo::productTitle(), QLatin1String(AppInfo::kVersionText));
}

QString AboutUsForm::homePageLink()
{
    const QUrl home = vendorUrl(QStringLiteral("/"));
    if (home.isEmpty())
        return QString();
    return QStringLiteral("<a style=\"color:%1;text-decoration:none;\" href=\"%2\">%3</a>")
        .arg(QLatin1String(kLinkColour), home.toString(QUrl::FullyEncoded).toHtmlEscaped(),
             home.authority().toHtmlEscaped());
}

QString AboutUsForm::copyrightLine(int year)
{
    return QStringLiteral("Copyright \u00A9 2013-%1 Ferrywright. All rights reserved.").arg(year);
}

void AboutUsForm::buildUi()
{
    setObjectName(QStringLiteral("AboutUsForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(appStyleSheet());
    resize(420, 210);

    picApp = new QGraphicsView(this);
    picApp->setObjectName(QStringLiteral("picApp"));
    picApp->setStyleSheet(QStringLiteral("background:Transparent;border:0;"));
    picApp->setFixedSize(kPictureHeight + 16, kPictureHeight + 16);
    picApp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    picApp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    lbTitle = new QLabel(tr("关于"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));

    lbProduct = new QLabel(productLine(), this);
    lbProduct->setObjectName(QStringLiteral("lbProduct"));
    lbProduct->setTextFormat(Qt::PlainText);
    lbProduct->setWordWrap(true);

    lbHomePage = new QLabel(homePageLink(), this);
    lbHomePage->setObjectName(QStringLiteral("lbHomePage"));
    lbHomePage->setTextFormat(Qt::RichText);
    lbHomePage->setOpenExternalLinks(true);
    lbHomePage->setVisible(!lbHomePage->text().isEmpty());

    lbCopyRight = new QLabel(copyrightLine(QDate::currentDate().year()), this);
    lbCopyRight->setObjectName(QStringLiteral("lbCopyRight"));
    lbCopyRight->setTextFormat(Qt::PlainText);

    btnOK = new QPushButton(tr("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));

    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(lbProduct);
    texts->addWidget(lbHomePage);
    texts->addWidget(lbCopyRight);
    texts->addStretch(1);

    auto *body = new QHBoxLayout;
    body->setSpacing(15);
    body->addWidget(picApp, 0, Qt::AlignTop);
    body->addLayout(texts, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 12, 20, 15);
    layout->setSpacing(10);
    layout->addWidget(lbTitle);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

void AboutUsForm::showPicture()
{
    m_scene = new QGraphicsScene(this);
    const QPixmap picture = QPixmap(QStringLiteral(":/main")).scaledToHeight(kPictureHeight, Qt::SmoothTransformation);
    m_scene->addPixmap(picture);
    picApp->setScene(m_scene);
}
