#pragma once

// Where each control of the three windows sits, in twips, as the windows were drawn. Kept in
// one place so that the windows and the measure of their texts' rooms agree.
namespace ui::layout {

struct Box {
    int left;
    int top;
    int width;
    int height;
};

namespace main_window {
inline constexpr int kClientWidth = 6105;
inline constexpr int kClientHeight = 1275;
inline constexpr Box kUrlBox{1250, 135, 4095, 285};
inline constexpr Box kUrlCaption{105, 165, 3015, 255};
inline constexpr Box kStartStopButton{5400, 120, 615, 320};
inline constexpr Box kStatusLine{105, 525, 6015, 255};
inline constexpr Box kSponsorBanner{90, 915, 5760, 285};
inline constexpr Box kBannerFrame{75, 840, 5955, 375};
// The three rules under the menu bar: two at the top edge, one a pixel lower.
inline constexpr int kRuleLength = 6225;
inline constexpr int kRuleTop = 0;
inline constexpr int kLowerRuleTop = 15;
} // namespace main_window

namespace about_box {
inline constexpr int kClientWidth = 4995;
inline constexpr int kClientHeight = 870;
inline constexpr Box kHeading{120, 120, 4110, 255};
inline constexpr Box kDescription{120, 360, 4740, 495};
} // namespace about_box

namespace sponsor_box {
inline constexpr int kClientWidth = 4695;
inline constexpr int kClientHeight = 1260;
inline constexpr Box kHeading{120, 105, 4110, 255};
inline constexpr Box kDescription{120, 360, 4740, 840};
inline constexpr Box kMoreInformationButton{105, 825, 1485, 315};
} // namespace sponsor_box

} // namespace ui::layout
