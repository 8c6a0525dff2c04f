// The Background Color dialog's logic: three sliders 0..255 for red, green
// and blue, each with its value as three digits. The view follows the
// sliders; Cancel brings back the exact colour the dialog opened with.
#pragma once

#include "view/view_state.h"

#include <array>
#include <string>

namespace zentarra {

struct BackgroundDialogValues {
	std::array<int, 3> positions{};   // slider positions
	std::array<std::string, 3> texts; // "000" to "255"
};

// A channel (0..1) as its slider position: v x 255, truncated.
int ColorToSliderPosition(float value);

// The dialog's values for the current colour.
BackgroundDialogValues BackgroundValues(const DisplaySettings& disp);

// Opening: the four colour fields are saved for Cancel.
BackgroundDialogValues OpenBackgroundDialog(DisplaySettings& disp);

// A slider moved: each channel becomes its position / 255.
BackgroundDialogValues MoveBackgroundSliders(DisplaySettings& disp, const std::array<int, 3>& positions);

// Cancel: the colour the dialog opened with.
void CancelBackgroundDialog(DisplaySettings& disp);

} // namespace zentarra
