#pragma once
// The small pictures the windows show: one per family of point (numbered as the tool's
// resources are), the sensor elements, and the tool's own mark. Drawn, not loaded, so the
// executable carries no image files.
#include <QPixmap>

namespace korvane::shell {

QPixmap familyPicture(int number, QSize size);  // 104 heat .. 108 module board
QPixmap heatElementPicture(QSize size);
QPixmap opticalElementPicture(QSize size);
QPixmap toolPicture(QSize size);

}  // namespace korvane::shell
