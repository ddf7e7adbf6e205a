// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace pelmora {

/// Before the toolkit starts: no OpenGL for its windows, unless the user's environment asks
/// otherwise. Nothing here draws with it, and setting it up on an X display loads and links the
/// whole GL stack, about half the start-up time.
void PrepareToolkitEnvironment();
/// Once the toolkit runs: takes back what PrepareToolkitEnvironment set, so that programs
/// started from here (the encoder) get the user's environment.
void RestoreToolkitEnvironment();

/// Turns off the toolkit's state-change animations for this program's windows. With them,
/// every control that is enabled or disabled is redrawn for a fifth of a second, so locking
/// the settings at Record or Stop costs ten times the drawing of the change itself.
void DisableToolkitAnimations();

/// With the default theme on an unscaled display, check boxes and radio buttons show the
/// theme's own pixel images of their marks instead of its vector images, which the toolkit
/// renders again whenever such a control is enabled or disabled. Follows theme changes.
void UseImageCheckMarks();

}  // namespace pelmora
