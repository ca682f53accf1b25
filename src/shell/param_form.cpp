#include "shell/param_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "shell/history_view.h"
#include "shell/pictures.h"

namespace korvane::shell {

namespace {
constexpr int kHistoryTwips = 3600;
}  // namespace

ChamberPanel::ChamberPanel(const screens::ParamWindow& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("P_Chambre"));
  auto* l5 = new QLabel(this);
  l5->setObjectName(QStringLiteral("Label5"));
  l5->setGeometry(0, 0, 300, 34);
  l5->setWordWrap(true);
  label5_ = LabelView(l5);
  auto* l6 = new QLabel(this);
  l6->setObjectName(QStringLiteral("Label6"));
  l6->setAlignment(Qt::AlignCenter);
  l6->setGeometry(40, 96, px(model.Picture3.width), 18);
  label6_ = LabelView(l6);
}

QSize ChamberPanel::sizeHint() const {
  return QSize(std::max(300, px(model_.Picture4.width) + 20), 122);
}

void ChamberPanel::render() {
  label5_.show(model_.Label5);
  label6_.show(model_.Label6);
  Drawing now = drawing();
  if (now != drawn_) {
    drawn_ = std::move(now);
    update();
  }
}

ChamberPanel::Drawing ChamberPanel::drawing() const {
  const screens::ParamWindow& m = model_;
  return {{m.Picture4.width, m.Picture5.left, m.Picture5.width, m.Picture6.left, m.Picture6.width,
           m.Label4_Left, m.Label3_Left, m.Picture3.width, m.Shape1.width},
          m.Label4.caption,
          m.Label3.caption};
}

void ChamberPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // The scale: a chamber value v at v * width / 256.
  const QRect scale(0, 40, px(model_.Picture4.width), 16);
  p.fillRect(scale, Qt::white);
  p.fillRect(QRect(scale.left() + px(model_.Picture5.left), scale.top(), px(model_.Picture5.width),
                   scale.height()),
             QColor(0, 255, 255));
  if (model_.Picture6.width > 0) {
    p.fillRect(QRect(scale.left() + px(model_.Picture6.left), scale.top() + 4,
                     px(model_.Picture6.width), scale.height() - 8),
               QColor(255, 255, 0));
  }
  p.setPen(Qt::black);
  p.drawRect(scale.adjusted(0, 0, -1, -1));
  p.drawText(QPoint(px(model_.Label4_Left), 72), qs(model_.Label4.caption));
  p.drawText(QPoint(px(model_.Label3_Left), 72), qs(model_.Label3.caption));
  // The gauge: as full as the percentage.
  const QRect gauge(40, 78, px(model_.Picture3.width), 16);
  p.fillRect(gauge, QColor(128, 128, 128));
  p.fillRect(QRect(gauge.left(), gauge.top(), px(model_.Shape1.width), gauge.height()),
             QColor(255, 128, 0));
  p.drawText(QPoint(8, 91), QStringLiteral("0%"));
  p.drawText(QPoint(gauge.right() + 6, 91), QStringLiteral("100%"));
}

ParamForm::ParamForm(screens::ParamWindow& model, engine::ParamControl& control, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model), control_(control) {
  setObjectName(QStringLiteral("Frm_Parametres"));
  setWindowTitle(qs(model.caption));

  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  statusFrame_ = new QGroupBox(this);
  statusFrame_->setObjectName(QStringLiteral("Status_Frame"));
  auto* rows = new QGridLayout(statusFrame_);
  for (int k = 0; k < screens::kParamRows; ++k) {
    auto* name = new QLabel(statusFrame_);
    name->setObjectName(QStringLiteral("Param_Lbl_%1").arg(k));
    auto* value = new QLabel(statusFrame_);
    value->setObjectName(QStringLiteral("Value_Lbl_%1").arg(k));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rows->addWidget(name, k, 0);
    rows->addWidget(value, k, 1);
    params_[static_cast<std::size_t>(k)] = LabelView(name);
    values_[static_cast<std::size_t>(k)] = LabelView(value);
  }
  rows->setRowStretch(screens::kParamRows, 1);
  left->addWidget(statusFrame_);
  // The LED buttons sit beside the rows, not in the wide part: narrow types (PRADE-112,
  // TU-OX) and the "always show the LED buttons" setting need them too.
  auto* leds = new QHBoxLayout;
  auto* ledOn = new QPushButton(this);
  ledOn->setObjectName(QStringLiteral("Led_On_Cde"));
  auto* ledOff = new QPushButton(this);
  ledOff->setObjectName(QStringLiteral("Led_Off_Cde"));
  leds->addWidget(ledOn);
  leds->addWidget(ledOff);
  left->addLayout(leds);
  ledOn_ = ButtonView(ledOn);
  ledOff_ = ButtonView(ledOff);
  // "Boucle": the parameters read again every period, chosen on the bar and shown beside it.
  auto* loop = new QHBoxLayout;
  check1_ = new QCheckBox(qs(model.Check1.caption), this);
  check1_->setObjectName(QStringLiteral("Check1"));
  hscroll1_ = new QScrollBar(Qt::Horizontal, this);
  hscroll1_->setObjectName(QStringLiteral("HScroll1"));
  hscroll1_->setAccessibleName(QStringLiteral("Période (s)"));
  hscroll1_->setPageStep(1);
  auto* label7 = new QLabel(this);
  label7->setObjectName(QStringLiteral("Label7"));
  label7->setMinimumWidth(label7->fontMetrics().horizontalAdvance(QStringLiteral("10")));
  label7_ = LabelView(label7);
  // Shown by the first tick of "Boucle": they keep their place until then.
  for (QWidget* hidden : {static_cast<QWidget*>(hscroll1_), static_cast<QWidget*>(label7)}) {
    QSizePolicy policy = hidden->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    hidden->setSizePolicy(policy);
  }
  loop->addWidget(check1_);
  loop->addWidget(hscroll1_, 1);
  loop->addWidget(label7);
  left->addLayout(loop);
  auto* close = new QPushButton(QStringLiteral("FERMER"), this);
  close->setObjectName(QStringLiteral("Close_Cmd"));
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  left->addWidget(close);
  layout->addLayout(left);

  widePart_ = new QWidget(this);
  auto* right = new QVBoxLayout(widePart_);
  image1_ = new QLabel(widePart_);
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setFixedSize(160, 110);
  right->addWidget(image1_, 0, Qt::AlignHCenter);
  auto* sensors = new QGridLayout;
  opto_ = new QCheckBox(qs(model.Opto_Check.caption), widePart_);
  opto_->setObjectName(QStringLiteral("Opto_Check"));
  thermo_ = new QCheckBox(qs(model.Thermo_Check.caption), widePart_);
  thermo_->setObjectName(QStringLiteral("Thermo_Check"));
  picture1_ = new QLabel(widePart_);
  picture1_->setPixmap(heatElementPicture(QSize(32, 32)));
  picture1_->setAccessibleName(QStringLiteral("Élément thermique"));
  picture2_ = new QLabel(widePart_);
  picture2_->setPixmap(opticalElementPicture(QSize(32, 32)));
  picture2_->setAccessibleName(QStringLiteral("Élément optique"));
  sensors->addWidget(picture2_, 0, 0);
  sensors->addWidget(opto_, 0, 1);
  sensors->addWidget(picture1_, 1, 0);
  sensors->addWidget(thermo_, 1, 1);
  right->addLayout(sensors);
  auto* label8 = new QLabel(widePart_);
  label8->setObjectName(QStringLiteral("Label8"));
  label8_ = LabelView(label8);
  right->addWidget(label8);
  auto* frame2 = new QGroupBox(widePart_);
  frame2->setObjectName(QStringLiteral("Frame2"));
  auto* frame2Layout = new QVBoxLayout(frame2);
  auto* command1 = new QPushButton(frame2);
  command1->setObjectName(QStringLiteral("Command1"));
  command1_ = ButtonView(command1);
  frame2Layout->addWidget(command1);
  chamber_ = new ChamberPanel(model, frame2);
  frame2Layout->addWidget(chamber_);
  right->addWidget(frame2);
  // The detectors that have a history are optical ones, which this part shows.
  history_ = new HistoryView(widePart_);
  right->addWidget(history_);
  right->addStretch();
  layout->addWidget(widePart_, 1);  // the room the history adds goes to its table

  connect(ledOn, &QPushButton::clicked, this, [this] { control_.Led_On_Cde_Click(); });
  connect(ledOff, &QPushButton::clicked, this, [this] { control_.Led_Off_Cde_Click(); });
  connect(command1, &QPushButton::clicked, this, [this] { control_.Command1_Click(); });
  // `toggled`, so that a screen reader's toggle action writes the mode as a click does;
  // render() blocks it while it shows what the engine read.
  auto onToggled = [this](QCheckBox* box, screens::CheckBox& model,
                          void (engine::ParamControl::*click)()) {
    connect(box, &QCheckBox::toggled, this, [this, &model, click](bool checked) {
      model.checked = checked;
      (control_.*click)();
      render();
    });
  };
  onToggled(opto_, model_.Opto_Check, &engine::ParamControl::Opto_Check_Click);
  onToggled(thermo_, model_.Thermo_Check, &engine::ParamControl::Thermo_Check_Click);
  onToggled(check1_, model_.Check1, &engine::ParamControl::Check1_Click);
  connect(hscroll1_, &QScrollBar::valueChanged, this, [this](int value) {
    model_.HScroll1.value = value;
    control_.HScroll1_Change();
    render();
  });
  // Moves over the rows and the pictures reach the window: they follow no mouse themselves.
  setMouseTracking(true);
  render();
}

// Closed in the middle of a reading: the hourglass must not outlive the window.
ParamForm::~ParamForm() {
  if (busyShown_) QApplication::restoreOverrideCursor();
}

void ParamForm::render() {
  if (model_.visible != isVisible()) {
    if (model_.visible) {
      show();
      raise();
      activateWindow();
    } else {
      hide();
    }
  }
  if (!model_.visible) return;
  statusFrame_->setTitle(qs(model_.Status_Frame.caption));
  for (std::size_t k = 0; k < params_.size(); ++k) {
    // A screen reader reads a value with what it is: "N° série".
    if (params_[k].show(model_.Param_Lbl[k]))
      values_[k].widget()->setAccessibleDescription(qs(model_.Param_Lbl[k].caption));
    values_[k].show(model_.Value_Lbl[k]);
  }
  // The history's table wants the room of its four columns beside the rows.
  const bool wide = model_.width > screens::kNarrowWidth;
  const int width = model_.width + (wide && model_.history.visible ? kHistoryTwips : 0);
  if (shownWidth_ != width) {
    shownWidth_ = width;
    widePart_->setVisible(wide);
    setFixedWidth(px(width));
  }
  if (shownPicture_ != model_.Image1) {
    shownPicture_ = model_.Image1;
    image1_->setPixmap(familyPicture(model_.Image1, image1_->size()));
  }
  auto box = [](QCheckBox* widget, const screens::CheckBox& m) {
    widget->setVisible(m.visible);
    widget->setEnabled(m.enabled);
    const QSignalBlocker quiet(widget);
    widget->setChecked(m.checked);
  };
  box(opto_, model_.Opto_Check);
  box(thermo_, model_.Thermo_Check);
  box(check1_, model_.Check1);
  const screens::ScrollBar& bar = model_.HScroll1;
  if (hscroll1_->isHidden() == bar.visible) hscroll1_->setVisible(bar.visible);
  {
    const QSignalBlocker quiet(hscroll1_);
    if (hscroll1_->minimum() != bar.min || hscroll1_->maximum() != bar.max)
      hscroll1_->setRange(bar.min, bar.max);
    hscroll1_->setValue(bar.value);
  }
  label7_.show(model_.Label7);
  picture1_->setVisible(model_.Picture1.visible);
  picture2_->setVisible(model_.Picture2.visible);
  ledOn_.show(model_.Led_On_Cde);
  ledOff_.show(model_.Led_Off_Cde);
  command1_.show(model_.Command1);
  label8_.show(model_.Label8);
  chamber_->setVisible(model_.P_Chambre.visible);
  if (model_.P_Chambre.visible) chamber_->render();
  history_->render(model_.history);
  if (model_.busyPointer != busyShown_) {
    busyShown_ = model_.busyPointer;
    if (busyShown_) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  }
}

void ParamForm::mouseMoveEvent(QMouseEvent* event) {
  if (model_.busyPointer) {
    control_.Form_MouseMove();
    render();
  }
  QWidget::mouseMoveEvent(event);
}

// The close box does what "FERMER" does.
void ParamForm::closeEvent(QCloseEvent* event) {
  control_.Close_Cmd_Click();
  if (busyShown_) {
    QApplication::restoreOverrideCursor();
    busyShown_ = false;
  }
  event->accept();
}

}  // namespace korvane::shell
