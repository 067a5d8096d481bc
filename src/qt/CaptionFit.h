#pragma once

class QFont;
class QWidget;

// Whether a label's, button's or frame's caption shows whole in the control's box.
bool captionFits(const QWidget *control);
// The forms were laid out for Tahoma; a wider substitute would cut captions short. Closes up
// the letters, then takes the size down a little, until the caption shows whole in the
// designed font or a fitted copy of it.
void fitCaption(QWidget *control, const QFont &designed);
