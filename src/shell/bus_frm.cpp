#include "shell/bus_frm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "shell/about_box.h"
#include "shell/address_grid.h"
#include "shell/config/settings.h"
#include "shell/led_form.h"
#include "shell/measures_form.h"
#include "shell/param_form.h"
#include "shell/report_form.h"
#include "shell/session.h"

namespace korvane::shell {

namespace {

// Controls that come and go keep their place, so that the window does not jump about.
void keepPlace(QWidget* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
}

}  // namespace

BusFrm::BusFrm(BusFrmSetup setup, QWidget* parent) : QWidget(parent), session_(setup.session) {
  setObjectName(QStringLiteral("Bus_Frm"));
  setWindowTitle(QStringLiteral("BUS AUTOCODAGE KORVANE"));
  // Form_Load: the grid, the settings and the port, through the same call as the fuzzer's
  // technician; the widgets are then built from what it loaded.
  station().openWindow(setup.product, [this] {
    config::Lire_Config(session_.ini(), station().state, station().com, station().bus);
  });
  engine::BusState& s = station().state;

  auto* layout = new QVBoxLayout(this);
  buildMenus();
  auto* top = new QHBoxLayout;
  top->addWidget(buildControls(), 1);
  top->addWidget(buildStatus());
  layout->addLayout(top);
  grid_ = new AddressGrid(station().bus, s.Nb_Adr, this);
  layout->addWidget(grid_);
  layout->addWidget(buildEmulator());
  connect(grid_, &AddressGrid::boxClicked, this, [this](int a) {
    station().control.Adr_Box_Click(a);
    render();
  });

  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  f5->setContext(Qt::WidgetWithChildrenShortcut);
  connect(f5, &QShortcut::activated, this, [this] {
    station().control.Form_KeyDown(engine::kKeyF5);
    render();
  });
  auto* f9 = new QShortcut(QKeySequence(Qt::Key_F9), this);
  f9->setContext(Qt::WidgetWithChildrenShortcut);
  connect(f9, &QShortcut::activated, this, [this] {
    station().control.Form_KeyDown(engine::kKeyF9);
    render();
  });

  askPort = [this](const QString& current) -> std::optional<PortAnswer> {
    const std::vector<link::PortInfo> ports = session_.presentPorts();
    const link::PortEntries entries = config::Lire_Ports(session_.ini());
    std::vector<int> numbers;
    for (const link::PortInfo& port : ports)
      numbers.push_back(link::numberOfPort(port, entries, ports));
    PortDialog dialog(current, ports, numbers, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.answer();
  };

  station().control.Ecrire_Port_Protocole = [this] {
    config::Ecrire_Port_Protocole(session_.ini(), station().com.Port_Com,
                                  station().state.Protocole);
  };
  station().engine.unloadWindow = [this] { emit unloadRequested(); };

  session_.setBusWindow(this);
  render();
}

BusFrm::~BusFrm() {
  station().engine.unloadWindow = nullptr;
  if (session_.busWindow() == this) session_.setBusWindow(nullptr);
}

ParamForm* BusFrm::paramForm() const {
  return session_.paramForm();
}

MeasuresForm* BusFrm::measuresForm() const {
  return session_.measuresForm();
}

void BusFrm::showEvent(QShowEvent* event) {
  // Form_Activate: the state number only in debug mode.
  station().bus.Label1.visible = station().state.Mode_Debug;
  QWidget::showEvent(event);
}

void BusFrm::menu_listing_Click() {
  station().report.visible = true;
  session_.render();
  session_.reportForm()->raise();
  session_.reportForm()->activateWindow();
}

// Opened afresh (Début, Fin from the last search); already open, it keeps what was typed.
void BusFrm::Cmd_LED_Click() {
  if (!session_.ledForm()->isVisible()) {
    station().leds.Form_Load();
    session_.render();
  }
  session_.ledForm()->raise();
  session_.ledForm()->activateWindow();
}

void BusFrm::buildMenus() {
  auto* bar = new QMenuBar(this);
  auto* util = bar->addMenu(QStringLiteral("&Utilitaires"));
  util->setObjectName(QStringLiteral("Util_Mnu"));
  QAction* port = util->addAction(QStringLiteral("&Port Série"));
  port->setObjectName(QStringLiteral("Serial_Com_Port_Mnu"));
  connect(port, &QAction::triggered, this, &BusFrm::Serial_Com_Port_Mnu_Click);
  QAction* led = util->addAction(QStringLiteral("Commande LED"));
  led->setObjectName(QStringLiteral("Cmd_LED"));
  connect(led, &QAction::triggered, this, &BusFrm::Cmd_LED_Click);
  QAction* listing = util->addAction(QStringLiteral("Listing"));
  listing->setObjectName(QStringLiteral("menu_listing"));
  connect(listing, &QAction::triggered, this, &BusFrm::menu_listing_Click);
  QAction* quit = util->addAction(QStringLiteral("&Quitter"));
  quit->setObjectName(QStringLiteral("Quit_Mnu"));
  connect(quit, &QAction::triggered, this, [this] {
    station().state.Etat_Bus = engine::kNone;
    station().state.Fermeture = true;
    emit unloadRequested();
  });

  auto* type = bar->addMenu(QStringLiteral("&Type"));
  type->setObjectName(QStringLiteral("Type_Menu"));
  screens::BusWindow& bus = station().bus;
  for (auto [entry, name] :
       {std::pair{&bus.SS_Det_12V, "SS_Det_12V"}, std::pair{&bus.SS_Per_24V, "SS_Per_24V"},
        std::pair{&bus.SS_KAPRE, "SS_KAPRE"}, std::pair{&bus.SS_VOSK4, "SS_VOSK4"}}) {
    QAction* action = type->addAction(qs(entry->caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    screens::MenuItem* model = entry;
    connect(action, &QAction::triggered, this, [this, model] { typeMenuClicked(*model); });
    typeEntries_.emplace_back(action, entry);
  }
  QAction* about = bar->addAction(QStringLiteral("&A propos..."));
  about->setObjectName(QStringLiteral("About_Mnu"));
  connect(about, &QAction::triggered, this, &BusFrm::About_Mnu_Click);
  layout()->setMenuBar(bar);
}

QWidget* BusFrm::buildControls() {
  auto* panel = new QWidget(this);
  auto* grid = new QGridLayout(panel);
  screens::BusWindow& bus = station().bus;

  auto* start = new QPushButton(panel);
  start->setObjectName(QStringLiteral("Start_Bus_Cmd"));
  startBus_ = ButtonView(start);
  connect(start, &QPushButton::clicked, this, [this] {
    station().control.Start_Bus_Cmd_Click();
    render();
  });
  auto* status = new QPushButton(panel);
  status->setObjectName(QStringLiteral("Adr_Status_Cde"));
  adrStatus_ = ButtonView(status);
  connect(status, &QPushButton::clicked, this, [this] {
    station().control.Adr_Status_Cde_Click();
    render();
  });
  keepPlace(start);
  keepPlace(status);
  grid->addWidget(start, 0, 0);
  grid->addWidget(status, 1, 0);

  auto* lecture = new QGroupBox(QStringLiteral("Lecture"), panel);
  auto* lectureLayout = new QVBoxLayout(lecture);
  check2_ = new QCheckBox(qs(bus.Check2.caption), lecture);
  check2_->setObjectName(QStringLiteral("Check2"));
  lectureLayout->addWidget(check2_);
  grid->addWidget(lecture, 0, 1, 2, 1);

  check3_ = new QCheckBox(qs(bus.Check3.caption), panel);
  check3_->setObjectName(QStringLiteral("Check3"));
  check4_ = new QCheckBox(qs(bus.Check4.caption), panel);
  check4_->setObjectName(QStringLiteral("Check4"));
  combo1_ = new QComboBox(panel);
  combo1_->setObjectName(QStringLiteral("Combo1"));
  combo1_->setAccessibleName(qs(bus.Check4.caption));  // the box it belongs to
  combo1_->setEditable(true);
  for (int a = 1; a <= station().state.Nb_Adr; ++a)
    combo1_->addItem(QString::number(a));
  combo1_->setCurrentText(qs(bus.Combo1.text));
  check5_ = new QCheckBox(qs(bus.Check5.caption), panel);
  check5_->setObjectName(QStringLiteral("Check5"));
  grid->addWidget(check3_, 0, 2);
  grid->addWidget(check5_, 1, 2);
  grid->addWidget(check4_, 0, 3);
  grid->addWidget(combo1_, 1, 3);

  phaseFrm_ = new QGroupBox(qs(bus.Phase_Frm.caption), panel);
  phaseFrm_->setObjectName(QStringLiteral("Phase_Frm"));
  auto* phaseLayout = new QVBoxLayout(phaseFrm_);
  phase1_ = new QRadioButton(qs(bus.Phase_Option[1].caption), phaseFrm_);
  phase1_->setObjectName(QStringLiteral("Phase_Option_1"));
  phase2_ = new QRadioButton(qs(bus.Phase_Option[2].caption), phaseFrm_);
  phase2_->setObjectName(QStringLiteral("Phase_Option_2"));
  phaseLayout->addWidget(phase1_);
  phaseLayout->addWidget(phase2_);
  keepPlace(phaseFrm_);
  grid->addWidget(phaseFrm_, 0, 4, 2, 1);
  grid->setColumnStretch(5, 1);

  // `toggled`, not `clicked`: a screen reader's toggle action changes the box without a
  // click, and must start what a click starts. render() blocks these while it copies the
  // model, so showing the engine's choice never runs a handler.
  connect(check2_, &QCheckBox::toggled, this,
          [this](bool on) { station().bus.Check2.checked = on; });
  connect(check3_, &QCheckBox::toggled, this, [this](bool on) {
    station().bus.Check3.checked = on;
    station().control.Check3_Click();
    render();
  });
  connect(check4_, &QCheckBox::toggled, this,
          [this](bool on) { station().bus.Check4.checked = on; });
  connect(check5_, &QCheckBox::toggled, this,
          [this](bool on) { station().bus.Check5.checked = on; });
  connect(combo1_, &QComboBox::currentTextChanged, this,
          [this](const QString& text) { station().bus.Combo1.text = us(text); });
  for (auto [button, index] : {std::pair{phase1_, 1}, std::pair{phase2_, 2}}) {
    // Only the option being selected acts; the one it deselects says nothing.
    connect(button, &QRadioButton::toggled, this, [this, index = index](bool on) {
      if (!on) return;
      config::Phase_Option_Click(session_.ini(), index, station().state, station().com,
                                 station().bus);
      render();
    });
  }
  return panel;
}

QWidget* BusFrm::buildStatus() {
  auto* frame = new QGroupBox(QStringLiteral("Status"), this);
  frame->setObjectName(QStringLiteral("Status_Frm"));
  frame->setMinimumWidth(330);
  auto* layout = new QVBoxLayout(frame);
  for (auto [view, name] : {std::pair{&currentOperation_, "Current_Operation_Lbl"},
                            std::pair{&curAdr_, "Cur_Adr_Lbl"}, std::pair{&label1_, "Label1"}}) {
    auto* label = new QLabel(frame);
    label->setObjectName(QString::fromLatin1(name));
    keepPlace(label);
    layout->addWidget(label);
    *view = LabelView(label);
  }
  QFont bold = currentOperation_.widget()->font();
  bold.setBold(true);
  currentOperation_.widget()->setFont(bold);
  return frame;
}

QWidget* BusFrm::buildEmulator() {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  emulFrm_ = new QGroupBox(QStringLiteral("Emulateur de Bus"), row);
  emulFrm_->setObjectName(QStringLiteral("Emul_Frm"));
  auto* emul = new QHBoxLayout(emulFrm_);
  for (auto [view, name] : {std::pair{&connection_, "Connection_Lbl"},
                            std::pair{&version_, "Version_Lbl"}, std::pair{&cc_, "Cc_Lbl"}}) {
    auto* label = new QLabel(emulFrm_);
    label->setObjectName(QString::fromLatin1(name));
    keepPlace(label);
    emul->addWidget(label);
    *view = LabelView(label);
  }
  cc_.widget()->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0); font-weight: bold;"));
  // Under the link frame, the slow adapter's warning.
  auto* linkColumn = new QVBoxLayout;
  linkColumn->addWidget(emulFrm_);
  auto* slow = new QLabel(row);
  slow->setObjectName(QStringLiteral("Lent_Lbl"));
  slow->setStyleSheet(QStringLiteral("color: rgb(160, 80, 0); font-weight: bold;"));
  slow->setWordWrap(true);
  linkColumn->addWidget(slow);
  lent_ = LabelView(slow);
  layout->addLayout(linkColumn);

  for (auto [view, title, name] : {std::tuple{&tensionDep_, "Départ BUS", "Lbl_Tension_Dep"},
                                   std::tuple{&tensionRet_, "Retour BUS", "Lbl_Tension_Ret"},
                                   std::tuple{&courant_, "Courant BUS", "Lbl_Courant_Bus"}}) {
    auto* frame = new QGroupBox(QString::fromUtf8(title), row);
    auto* frameLayout = new QHBoxLayout(frame);
    auto* label = new QLabel(frame);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleDescription(QString::fromUtf8(title));
    QFont big = label->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    label->setFont(big);
    frameLayout->addWidget(label);
    layout->addWidget(frame);
    *view = LabelView(label);
  }

  auto* lights = new QGridLayout;
  sendShp_ = new Lamp(station().bus.Send_Shp.fillColor, QStringLiteral("Émission"), row);
  sendShp_->setObjectName(QStringLiteral("Send_Shp"));
  receiveShp_ = new Lamp(station().bus.Receive_Shp.fillColor, QStringLiteral("Réception"), row);
  receiveShp_->setObjectName(QStringLiteral("Receive_Shp"));
  lights->addWidget(sendShp_, 0, 0);
  lights->addWidget(new QLabel(QStringLiteral("Émission"), row), 0, 1);
  lights->addWidget(receiveShp_, 1, 0);
  lights->addWidget(new QLabel(QStringLiteral("Réception"), row), 1, 1);
  layout->addLayout(lights);
  layout->addStretch();
  return row;
}

void BusFrm::render() {
  const screens::BusWindow& bus = station().bus;
  grid_->render();
  startBus_.show(bus.Start_Bus_Cmd);
  adrStatus_.show(bus.Adr_Status_Cde);
  for (auto [box, model] : {std::pair{check2_, &bus.Check2}, std::pair{check3_, &bus.Check3},
                            std::pair{check4_, &bus.Check4}, std::pair{check5_, &bus.Check5}}) {
    const QSignalBlocker quiet(box);
    box->setChecked(model->checked);
  }
  phaseFrm_->setVisible(bus.Phase_Frm.visible);
  {
    // Selecting one option deselects the other: both stay quiet.
    const QSignalBlocker quiet1(phase1_);
    const QSignalBlocker quiet2(phase2_);
    phase1_->setChecked(bus.Phase_Option[1].selected);
    phase2_->setChecked(bus.Phase_Option[2].selected);
  }
  for (auto& [action, entry] : typeEntries_)
    action->setChecked(entry->checked);
  if (!(emulColour_ == bus.Emul_Frm.backColor)) {
    emulColour_ = bus.Emul_Frm.backColor;
    setBackground(emulFrm_, emulColour_);
  }
  connection_.show(bus.Connection_Lbl);
  version_.show(bus.Version_Lbl);
  cc_.show(bus.Cc_Lbl);
  lent_.show(bus.Lent_Lbl);
  if (bus.Emul_Frm_Tip != emulTip_) {
    emulTip_ = bus.Emul_Frm_Tip;
    emulFrm_->setToolTip(qs(emulTip_));
  }
  if (bus.Lent_Lbl_Tip != lentTip_) {
    lentTip_ = bus.Lent_Lbl_Tip;
    lent_.widget()->setToolTip(qs(lentTip_));
  }
  currentOperation_.show(bus.Current_Operation_Lbl);
  curAdr_.show(bus.Cur_Adr_Lbl);
  label1_.show(bus.Label1);
  tensionDep_.show(bus.Lbl_Tension_Dep);
  tensionRet_.show(bus.Lbl_Tension_Ret);
  courant_.show(bus.Lbl_Courant_Bus);
  sendShp_->setLit(bus.Send_Shp.visible);
  receiveShp_->setLit(bus.Receive_Shp.visible);
}

// The about box is modal: it opens between steps, never inside a frame's wait.
void BusFrm::About_Mnu_Click() {
  station().engine.afterStep([this] {
    AboutBox box(this);
    ++modals_;
    box.exec();
    --modals_;
  });
}

void BusFrm::typeMenuClicked(screens::MenuItem& entry) {
  config::Type_Menu_Click(session_.ini(), station().bus, entry);
  render();
}

// The port is reopened between steps: a step must never find its port closed under it.
void BusFrm::Serial_Com_Port_Mnu_Click() {
  station().engine.afterStep([this] { askPortUntilValid(); });
}

// Cancel asks again, as the tool always did; the engine keeps running meanwhile, since the
// question is asked outside any step.
void BusFrm::askPortUntilValid() {
  QPointer<BusFrm> self(this);
  ++modals_;
  std::optional<int> number;
  while (!number) {
    const std::optional<PortAnswer> answer = askPort(QString::number(station().com.Port_Com));
    if (!self) return;
    if (station().state.Fermeture) break;
    const std::optional<int> typed =
        config::portNumberFromAnswer(us(answer ? answer->typed : QString()));
    if (answer && answer->picked) {
      // A port from the list takes the number it has, else the one typed (or the current
      // one), and the settings file remembers the adapter under it.
      const link::PortPick pick =
          link::pickPort(*answer->picked, typed.value_or(station().com.Port_Com),
                         config::Lire_Ports(session_.ini()), session_.presentPorts());
      if (!pick.entry.empty()) config::Ecrire_Port_Device(session_.ini(), pick.number, pick.entry);
      if (pick.number > 0) {
        number = pick.number;
        break;
      }
    }
    number = typed;
    if (!number) {
      session_.dialogs().messageBox(config::kPortRangeError, config::kPortRangeErrorTitle,
                                    screens::Icon::kInformation);
    }
  }
  --modals_;
  if (!number) return;
  station().com.Port_Com = *number;
  config::Ecrire_Port_Protocole(session_.ini(), station().com.Port_Com, station().state.Protocole);
  station().engine.openPort();
  render();
}

void BusFrm::closeEvent(QCloseEvent* event) {
  station().state.Fermeture = true;
  emit unloadRequested();
  event->accept();
}

}  // namespace korvane::shell
