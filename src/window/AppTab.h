#pragma once

#include <QString>
#include <optional>

namespace pintora {

// The two tabs of a document window, in the order they are shown.
enum class AppTab { capture, annotate };

inline constexpr AppTab allAppTabs[] = {AppTab::capture, AppTab::annotate};

inline QString rawValue(AppTab tab) {
    return tab == AppTab::capture ? QStringLiteral("capture") : QStringLiteral("annotate");
}

inline QString title(AppTab tab) {
    return tab == AppTab::capture ? QStringLiteral("Capture") : QStringLiteral("Annotate");
}

// The symbol name of the tab's icon.
inline QString symbol(AppTab tab) {
    return tab == AppTab::capture ? QStringLiteral("camera.viewfinder")
                                  : QStringLiteral("pencil.tip.crop.circle");
}

// Only the exact raw strings name a tab.
inline std::optional<AppTab> appTabFromRaw(const QString& raw) {
    if (raw == QLatin1String("capture")) return AppTab::capture;
    if (raw == QLatin1String("annotate")) return AppTab::annotate;
    return std::nullopt;
}

} // namespace pintora
