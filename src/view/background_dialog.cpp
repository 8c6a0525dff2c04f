#include "view/background_dialog.h"

#include "base/text.h"

#include <algorithm>

namespace zentarra {

int ColorToSliderPosition(float value)
{
	return static_cast<int>(value * 255.0f);
}

BackgroundDialogValues BackgroundValues(const DisplaySettings& disp)
{
	BackgroundDialogValues values;
	const float channels[3] = {disp.bgRed, disp.bgGreen, disp.bgBlue};
	for (std::size_t i = 0; i < 3; ++i) {
		const int position = ColorToSliderPosition(channels[i]);
		values.positions[i] = std::clamp(position, 0, 255);
		values.texts[i] = IntToString(position, 3);
	}
	return values;
}

BackgroundDialogValues OpenBackgroundDialog(DisplaySettings& disp)
{
	disp.bgSaved[0] = disp.bgRed;
	disp.bgSaved[1] = disp.bgGreen;
	disp.bgSaved[2] = disp.bgBlue;
	disp.bgSaved[3] = disp.bgExtra;
	return BackgroundValues(disp);
}

BackgroundDialogValues MoveBackgroundSliders(DisplaySettings& disp, const std::array<int, 3>& positions)
{
	float* channels[3] = {&disp.bgRed, &disp.bgGreen, &disp.bgBlue};
	for (std::size_t i = 0; i < 3; ++i)
		*channels[i] = float(std::clamp(positions[i], 0, 255)) / 255.0f;
	return BackgroundValues(disp);
}

void CancelBackgroundDialog(DisplaySettings& disp)
{
	disp.bgRed = disp.bgSaved[0];
	disp.bgGreen = disp.bgSaved[1];
	disp.bgBlue = disp.bgSaved[2];
	disp.bgExtra = disp.bgSaved[3];
}

} // namespace zentarra
