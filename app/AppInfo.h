#pragma once

#include <QString>

// Product identity and the few process-wide settings that are not files.
namespace AppInfo {

inline constexpr const char *kVersionText = "3.2.09";
inline constexpr int kVersionCode = 29;
inline constexpr const char *kProductId = "5D1E0C9A7F3B4E26A8B0C4D2E6F81937";

// The translated product title, e.g. for window titles and message boxes.
QString productTitle();

// Host (optionally "host:port") of the vendor's web server. The environment
// variable FERRY_VENDOR_HOST, when set (even empty), wins over the build setting.
// Empty means: never send a request.
QString vendorHost();

QString supportEmail();

} // namespace AppInfo
