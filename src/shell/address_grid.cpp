#include "shell/address_grid.h"

#include <QAccessibleWidget>
#include <QFont>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace korvane::shell {

namespace {

constexpr int kBoxWidth = 600;  // twips
constexpr int kBoxHeight = 400;
constexpr int kPerRow = 16;
constexpr int kChamberHeight = 200;
constexpr int kLineOverhang = 100;  // the loop's line runs this far past the end boxes
constexpr int kLegendTop = 400 + 8 * 700 + 100;

QFont boxFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(7);
  return font;
}

// Long model names ("KEV312A", "MOLS-E8") get a smaller font rather than lose letters.
void fitText(QLabel* label) {
  QFont font = boxFont();
  const int room = label->width() - 2 * label->frameWidth() - 1;
  while (font.pointSizeF() > 5) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
      widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= room) break;
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  label->setFont(font);
}

}  // namespace

BoxPlace boxPlace(int address, int width, int height) {
  BoxPlace p;
  p.row = (address - 1) / kPerRow;
  const int place = (address - 1) % kPerRow;
  p.column = p.row % 2 == 0 ? place : kPerRow - 1 - place;
  p.left = 1100 + 2 * width + p.column * (200 + width);
  p.top = height + p.row * (7 * height / 4);
  return p;
}

QString colourMeaning(screens::Rgb c) {
  namespace colors = screens::colors;
  if (c == colors::kFoundBlue) return QStringLiteral("trouvé");
  if (c == colors::kGrey) return QStringLiteral("non lu");
  if (c == colors::kLightGrey) return QStringLiteral("en attente de recherche");
  for (const screens::LegendEntry& entry : screens::kLegend) {
    if (entry.color == c) return QString::fromUtf8(entry.caption);
  }
  return QStringLiteral("rgb(%1, %2, %3)").arg(c.r).arg(c.g).arg(c.b);
}

AddressBox::AddressBox(int address, QWidget* parent) : QLabel(parent), address_(address) {
  setFont(boxFont());
  setAlignment(Qt::AlignCenter);
  setFrameShape(QFrame::Box);
  setCursor(Qt::WhatsThisCursor);
  setObjectName(QStringLiteral("Adr_Box_%1").arg(address));
}

void AddressBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked(address_);
  QLabel::mousePressEvent(event);
}

namespace {

// A box opens its point's parameters when clicked, so a screen reader must see a button it
// can press, not a text.
class AccessibleAddressBox final : public QAccessibleWidget {
 public:
  explicit AccessibleAddressBox(AddressBox* box) : QAccessibleWidget(box, QAccessible::Button) {}
  QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    auto* box = static_cast<AddressBox*>(widget());
    if (name == pressAction()) {
      emit box->clicked(box->address());
    } else {
      QAccessibleWidget::doAction(name);
    }
  }
};

QAccessibleInterface* addressBoxAccessible(const QString&, QObject* object) {
  if (auto* box = qobject_cast<AddressBox*>(object)) return new AccessibleAddressBox(box);
  return nullptr;
}

}  // namespace

AddressGrid::AddressGrid(const screens::BusWindow& model, int addresses, QWidget* parent)
    : QWidget(parent),
      model_(model),
      addresses_(std::clamp(addresses, 0, screens::kGridAddresses)),
      rows_((addresses_ + kPerRow - 1) / kPerRow) {
  setObjectName(QStringLiteral("Adr_Grid"));
  setAccessibleName(QStringLiteral("Boucle"));
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(addressBoxAccessible);
    return true;
  }();
  (void)factoryInstalled;
  for (int a = 1; a <= addresses_; ++a) {
    const BoxPlace p = boxPlace(a, kBoxWidth, kBoxHeight);
    auto* box = new AddressBox(a, this);
    box->setGeometry(px(p.left), px(p.top), px(kBoxWidth), px(kBoxHeight));
    connect(box, &AddressBox::clicked, this, &AddressGrid::boxClicked);
    boxes_.push_back(box);
    boxViews_.emplace_back(box, true);

    auto* chamber = new QLabel(this);
    QFont small = boxFont();
    small.setPointSizeF(6);
    chamber->setFont(small);
    chamber->setAlignment(Qt::AlignCenter);
    chamber->setObjectName(QStringLiteral("Etat_Chambre_%1").arg(a));
    chamber->setGeometry(px(p.left), px(p.top + kBoxHeight), px(kBoxWidth), px(kChamberHeight));
    chamberViews_.emplace_back(chamber, true);

    auto* led = new QLabel(box);
    led->setObjectName(QStringLiteral("Led_Shp_%1").arg(a));
    led->setAccessibleName(QStringLiteral("LED %1 allumée").arg(a));
    led->setGeometry(px(kBoxWidth) - 8, 2, 6, 6);
    setBackground(led, screens::colors::kRed);
    led->hide();
    leds_.push_back(led);
  }
  ledShown_.assign(static_cast<std::size_t>(addresses_), false);
  shownColour_.assign(static_cast<std::size_t>(addresses_), screens::Rgb{1, 2, 3});

  for (std::size_t i = 0; i < legendMarks_.size(); ++i) {
    const int column = static_cast<int>(i % 4);
    const int row = static_cast<int>(i / 4);
    const int left = 2300 + column * 3200;
    const int top = (rows_ <= 1 ? 400 + 700 : kLegendTop) + row * 300;
    auto* mark = new QLabel(this);
    mark->setGeometry(px(left), px(top) + 2, 12, 12);
    mark->setFrameShape(QFrame::Box);
    setBackground(mark, model_.Lgd_Shp[i].fillColor);
    mark->setObjectName(QStringLiteral("Lgd_Shp_%1").arg(i));
    legendMarks_[i] = mark;
    auto* label = new QLabel(this);
    label->setGeometry(px(left) + 18, px(top), px(3000) - 20, 16);
    label->setObjectName(QStringLiteral("Lgd_Lbl_%1").arg(i));
    legendViews_[i] = LabelView(label);
  }
  render();
}

AddressBox* AddressGrid::box(int address) const {
  if (address < 1 || address > addresses_) return nullptr;
  return boxes_[static_cast<std::size_t>(address - 1)];
}

QSize AddressGrid::sizeHint() const {
  const int lastTop = (rows_ <= 1 ? 400 + 700 : kLegendTop) + 600;
  return QSize(px(2300 + kPerRow * 800 + 200), px(lastTop));
}

void AddressGrid::render() {
  for (int a = 1; a <= addresses_; ++a) {
    const auto i = static_cast<std::size_t>(a - 1);
    const screens::Label& box = model_.Adr_Box[i + 1];
    if (boxViews_[i].show(box)) fitText(boxes_[i]);
    if (!(shownColour_[i] == box.backColor)) {
      shownColour_[i] = box.backColor;
      boxes_[i]->setAccessibleDescription(colourMeaning(box.backColor));
    }
    const screens::Label& chamber = model_.Etat_Chambre[i + 1];
    // The label is narrow: its whole text is in its tool tip.
    if (chamberViews_[i].show(chamber)) chamberViews_[i].widget()->setToolTip(qs(chamber.caption));
    const bool led = model_.Led_Shp[i + 1].visible;
    if (led != ledShown_[i]) {
      ledShown_[i] = led;
      leds_[i]->setVisible(led);
    }
  }
  for (std::size_t i = 0; i < legendMarks_.size(); ++i) {
    legendViews_[i].show(model_.Lgd_Lbl[i]);
    legendMarks_[i]->setVisible(model_.Lgd_Shp[i].visible);
  }
}

// The loop's cable: a line through each row's boxes, and a link between rows at the end
// where the loop turns.
void AddressGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QPen(QColor(40, 40, 40), 2));
  const int perRow = std::min(addresses_, kPerRow);
  if (perRow == 0) return;
  const int firstLeft = boxPlace(1).left - kLineOverhang;
  const int lastRight = boxPlace(1).left + (perRow - 1) * 800 + kBoxWidth + kLineOverhang;
  // The lead from the interface into the first box.
  painter.drawLine(px(firstLeft - 600), px(kBoxHeight + kBoxHeight / 2), px(firstLeft),
                   px(kBoxHeight + kBoxHeight / 2));
  for (int r = 0; r < rows_; ++r) {
    const int y = px(boxPlace(r * kPerRow + 1).top + kBoxHeight / 2);
    painter.drawLine(px(firstLeft), y, px(lastRight), y);
    if (r == 0) continue;
    // Link r joins row r - 1 to row r: on the right for odd r, on the left for even r.
    const int x = px(r % 2 == 1 ? lastRight : firstLeft);
    const int yAbove = px(boxPlace((r - 1) * kPerRow + 1).top + kBoxHeight / 2);
    painter.drawLine(x, yAbove, x, y);
  }
}

}  // namespace korvane::shell
