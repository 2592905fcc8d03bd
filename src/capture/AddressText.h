#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace pintora {

// Where the address field sends words that are not an address.
inline const QString searchEndpoint = QStringLiteral("https://duckduckgo.com/?q=");

// The address that text typed into the address field stands for: an address with a scheme as
// it is, a dotted host name without one over https, anything else as a web search. None for
// blank text or a result that is no valid URL.
std::optional<QUrl> urlForAddressText(const QString& text);

} // namespace pintora
