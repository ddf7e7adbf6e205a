#pragma once
// Window code: a one-line text box gets a fixed character for hidden text. Without one, GTK
// looks through the font for a suitable character (laying out a few candidates) every time
// the box is enabled, disabled or restyled, which is most of what locking a box costs. None
// of the program's boxes hide their text, so the character is never seen.

class wxTextCtrl;

namespace pelmora {

/// Call once after creating the box; does nothing for multi-line boxes or other toolkits.
void FixHiddenTextCharacter(wxTextCtrl* text);

}  // namespace pelmora
