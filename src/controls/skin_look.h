#pragma once

namespace brevant {

// What the whole application shares with its skinned controls: the font face
// substitution and the look of tooltips (white, ink text, the skin's face).
// Call once after the QApplication is made and before the first window.
void InstallSkinLook();

}  // namespace brevant
