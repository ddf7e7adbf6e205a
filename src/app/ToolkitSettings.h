#pragma once

namespace pelmora {

/// Turns off the toolkit's state-change animations for this program's windows. With them,
/// every control that is enabled or disabled is redrawn for a fifth of a second, so locking
/// the settings at Record or Stop costs ten times the drawing of the change itself.
void DisableToolkitAnimations();

}  // namespace pelmora
