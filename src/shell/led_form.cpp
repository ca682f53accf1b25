#include "shell/led_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "shell/session.h"

namespace korvane::shell {

namespace {

QGroupBox* frame(const char* name, const char* caption, QWidget* parent) {
  auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

// Only a change of state reaches the widget: the window is rendered many times a second.
void enable(QWidget* widget, bool enabled) {
  if (widget->testAttribute(Qt::WA_Disabled) == enabled) widget->setEnabled(enabled);
}

}  // namespace

LedForm::LedForm(Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), model_(session.station.led) {
  setObjectName(QStringLiteral("Frm_Commande_Led"));
  setWindowTitle(qs(model_.caption));
  engine::LedSequencer& leds = session_.station.leds;

  auto* frame1 = frame("Frame1", "Pause avant démarrage (mn)", this);
  auto* grid1 = new QGridLayout(frame1);
  field(model_.Text1, "Text1", "Label1", "Pause", grid1, 0, 0);
  grid1->setColumnStretch(2, 1);

  auto* frame2 = frame("Frame2", "Allumage voyant", this);
  auto* grid2 = new QGridLayout(frame2);
  field(model_.Text5, "Text5", "Label6", "Début", grid2, 0, 0);
  field(model_.Text7, "Text7", "Label8", "Fin", grid2, 0, 2);
  grid2->addWidget(checkBox(model_.Check2, "Check2", &engine::LedSequencer::Check2_Click, frame2),
                   1, 0, 1, 4);
  option1_ = new QRadioButton(qs(model_.Option1.caption), frame2);
  option1_->setObjectName(QStringLiteral("Option1"));
  option2_ = new QRadioButton(qs(model_.Option2.caption), frame2);
  option2_->setObjectName(QStringLiteral("Option2"));
  grid2->addWidget(option1_, 2, 0, 1, 2);
  grid2->addWidget(option2_, 2, 2, 1, 2);
  label2_ = field(model_.Text2, "Text2", "Label2", "Nb", grid2, 3, 0);
  label3_ = field(model_.Text3, "Text3", "Label3", "Pause (ms)", grid2, 3, 2);
  grid2->setColumnStretch(4, 1);

  auto* frame3 = frame("Frame3", "Durée allumage", this);
  auto* grid3 = new QGridLayout(frame3);
  field(model_.Text4, "Text4", "Label4", "Durée (s)", grid3, 0, 0);
  field(model_.Text6, "Text6", "Label7", "pause (s)", grid3, 1, 0);
  grid3->setColumnStretch(2, 1);

  auto* frame4 = frame("Frame4", "Avancement", this);
  auto* layout4 = new QVBoxLayout(frame4);
  auto* label5 = new QLabel(frame4);
  label5->setObjectName(QStringLiteral("Label5"));
  label5->setMinimumWidth(180);
  // Empty between runs: it keeps its line so that the frame does not jump.
  label5->setMinimumHeight(label5->fontMetrics().height());
  label5_ = LabelView(label5);
  layout4->addWidget(label5);
  auto* row4 = new QHBoxLayout;
  row4->addWidget(checkBox(model_.Check1, "Check1", nullptr, frame4));
  auto* command2 = new QPushButton(frame4);
  command2->setObjectName(QStringLiteral("Command2"));
  command2_ = ButtonView(command2);
  row4->addWidget(command2);
  layout4->addLayout(row4);

  auto* frame5 = frame("Frame5", "Manuel", this);
  auto* row5 = new QHBoxLayout(frame5);
  const std::array<std::tuple<const char*, const char*, QStyle::StandardPixmap>, 2> arrows{
      {{"CMD_AR_0", "Voyant précédent", QStyle::SP_ArrowLeft},
       {"CMD_AR_1", "Voyant suivant", QStyle::SP_ArrowRight}}};
  for (int index = 0; index < 2; ++index) {
    const auto& [name, caption, icon] = arrows[static_cast<std::size_t>(index)];
    auto* arrow = new QPushButton(style()->standardIcon(icon), QString(), frame5);
    arrow->setObjectName(QString::fromLatin1(name));
    arrow->setAccessibleName(QString::fromUtf8(caption));
    arrow->setToolTip(QString::fromUtf8(caption));
    connect(arrow, &QPushButton::clicked, this, [this, &leds, index] {
      leds.CMD_AR_Click(index);
      render();
    });
    row5->addWidget(arrow);
    arrows_[static_cast<std::size_t>(index)] = arrow;
  }

  auto* command1 = new QPushButton(qs(model_.Command1.caption), this);
  command1->setObjectName(QStringLiteral("Command1"));

  // Settings on the left, the run on the right.
  auto* grid = new QGridLayout(this);
  grid->addWidget(frame1, 0, 0);
  grid->addWidget(frame2, 1, 0, 2, 1);
  grid->addWidget(frame3, 0, 1);
  grid->addWidget(frame4, 1, 1);
  grid->addWidget(frame5, 2, 1);
  grid->addWidget(command1, 3, 1, Qt::AlignRight);

  // Options act when they become selected; the one deselected says nothing.
  auto onSelected = [this, &leds](QRadioButton* option, bool first,
                                  void (engine::LedSequencer::*click)()) {
    connect(option, &QRadioButton::toggled, this, [this, &leds, first, click](bool on) {
      if (!on) return;
      model_.Option1.selected = first;
      model_.Option2.selected = !first;
      (leds.*click)();
      render();
    });
  };
  onSelected(option1_, true, &engine::LedSequencer::Option1_Click);
  onSelected(option2_, false, &engine::LedSequencer::Option2_Click);
  // The sequencer only posts requests and defers its message box itself: safe in any wait.
  connect(command2, &QPushButton::clicked, this, [this, &leds] {
    leds.Command2_Click();
    session_.render();
  });
  connect(command1, &QPushButton::clicked, this, &QWidget::close);
  render();
}

// A field beside its label, which names it for a screen reader too. Returns the label.
QLabel* LedForm::field(screens::TextBox& text, const char* name, const char* labelName,
                       const char* caption, QGridLayout* grid, int row, int column) {
  auto* edit = new QLineEdit(grid->parentWidget());
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaximumWidth(60);
  auto* label = new QLabel(QString::fromUtf8(caption), grid->parentWidget());
  label->setObjectName(QString::fromLatin1(labelName));
  label->setBuddy(edit);
  edit->setAccessibleName(label->text());
  // The sequencer reads the fields when it uses them: a change made during a run counts.
  connect(edit, &QLineEdit::textChanged, this,
          [&text](const QString& typed) { text.text = us(typed); });
  grid->addWidget(label, row, column);
  grid->addWidget(edit, row, column + 1);
  fields_.emplace_back(edit, &text);
  return label;
}

// `toggled`, not `clicked`: a screen reader's toggle changes the box without a click and must
// do what a click does. render() blocks it while it shows the model.
QCheckBox* LedForm::checkBox(screens::CheckBox& box, const char* name,
                             void (engine::LedSequencer::*click)(), QWidget* frame) {
  auto* widget = new QCheckBox(qs(box.caption), frame);
  widget->setObjectName(QString::fromLatin1(name));
  connect(widget, &QCheckBox::toggled, this, [this, &box, click](bool on) {
    box.checked = on;
    if (click) (session_.station.leds.*click)();
    render();
  });
  boxes_.emplace_back(widget, &box);
  return widget;
}

void LedForm::render() {
  if (model_.visible != isVisible()) setVisible(model_.visible);
  if (!model_.visible) return;
  for (auto [edit, text] : fields_) {
    const QString shown = qs(text->text);
    if (edit->text() != shown) {
      const QSignalBlocker quiet(edit);
      edit->setText(shown);
    }
    enable(edit, text->enabled);
  }
  for (auto [widget, box] : boxes_) {
    const QSignalBlocker quiet(widget);
    widget->setChecked(box->checked);
    enable(widget, box->enabled);
  }
  {
    // Selecting one option deselects the other: both stay quiet.
    const QSignalBlocker quiet1(option1_);
    const QSignalBlocker quiet2(option2_);
    option1_->setChecked(model_.Option1.selected);
    option2_->setChecked(model_.Option2.selected);
  }
  enable(option1_, model_.Option1.enabled);
  enable(option2_, model_.Option2.enabled);
  enable(label2_, model_.blinkLabelsEnabled);
  enable(label3_, model_.blinkLabelsEnabled);
  label5_.show(model_.Label5);
  command2_.show(model_.Command2);
  for (std::size_t i = 0; i < arrows_.size(); ++i)
    enable(arrows_[i], model_.CMD_AR[i].enabled);
}

void LedForm::closeEvent(QCloseEvent* event) {
  session_.station.leds.Command1_Click();
  event->accept();
}

}  // namespace korvane::shell
