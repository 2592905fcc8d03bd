#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace pintora {

// Where the address field sends words that are not an address.
inline const QString searchEndpoint = QStringLiteral("https://duckduckgo.com/?q=");

// The address that text typed into the address field stands for: an address with a scheme as
// it is; without one, this machine, a private network's address or a host with a port over
// http, another dotted host name over https; anything else as a web search. None for blank
// text or a result that is no valid URL.
std::optional<QUrl> urlForAddressText(const QString& text);

// The form an address is kept, compared and parsed again in: fully percent-encoded, with the
// host in its ASCII form.
QString storedAddress(const QUrl& url);
// The URL of a kept address, also of one kept decoded ("?q=a b"); none when it has no scheme
// or is no URL.
std::optional<QUrl> urlForStoredAddress(const QString& address);
// A kept address as the address field shows it: readable, and the same address when entered.
QString addressForDisplay(const QString& address);

// The addresses of a list, one a line, blank lines and lines starting with '#' skipped: none
// when a line is no address with a scheme (`error` says which, "NAME:3: 'x' is not an
// address") or when there is none at all.
std::optional<QList<QUrl>> parseAddressList(const QByteArray& text, const QString& name,
                                            QString* error);

} // namespace pintora
