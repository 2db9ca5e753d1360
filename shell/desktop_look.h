#pragma once

// One look on every Linux desktop: Qt's Fusion style with its own light palette and font, so
// that a GTK or KDE theme, a dark colour scheme or a large desktop font can neither clip the
// fixed layout's captions nor make its specified colours unreadable. Every control that takes
// the focus shows it plainly, sliders included, and slider thumbs stand out from their
// grooves. Elsewhere the platform's own style stays.
void ApplyDesktopLook();

// The Linux look itself, whatever the platform: the tests measure the layout under it.
void ApplyFusionLook();
