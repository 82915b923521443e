// The about card's tables: its size and colours, the addresses it links to,
// the legal notice and the credits.
#pragma once

#include <QColor>

#include <span>

namespace about {

constexpr int kWidth = 434;
constexpr int kHeight = 331;
inline const QColor kNavy(0, 0, 128);
inline const QColor kCream(255, 251, 240);
inline const QColor kLinkBlue(0, 0, 255);
constexpr int kDotsPerMeter96 = 3780;  // 96 dpi: point sizes as the card was laid out

inline const char* const kMakerAddress = "https://www.varnelo.example";
inline const char* const kMakerMail = "team@varnelo.example";
inline const char* const kProductAddress = "https://varnelo.example/app";
inline const char* const kQualityAddress = "https://www.varnelo.example/quality";
inline const char* const kCreditsName = "The Varnelo team";

// The legal notice, a line each, as the card shows it without wrapping.
std::span<const char* const> LegalNotice();
// The roles the credits thank, in order.
std::span<const char* const> CreditRoles();

}  // namespace about
