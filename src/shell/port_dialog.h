#pragma once
// "Utilitaires > Port Série": the port number typed (1 to 16), or a port picked from the list
// of those the machine has: its device, description, maker, serial number and the number it
// has in the tool. Picking a row puts its number in the box; OK (or a double-click on a row)
// answers.
#include <QDialog>
#include <optional>
#include <vector>

#include "link/port_map.h"

class QLineEdit;
class QTableWidget;

namespace korvane::shell {

struct PortAnswer {
  QString typed;
  std::optional<link::PortInfo> picked;
};

class PortDialog final : public QDialog {
  Q_OBJECT
 public:
  // `numbers[i]` is the number ports[i] has in the tool, 0 for none.
  PortDialog(const QString& current, std::vector<link::PortInfo> ports, std::vector<int> numbers,
             QWidget* parent);
  PortAnswer answer() const;

 private:
  std::vector<link::PortInfo> ports_;
  std::vector<int> numbers_;
  QLineEdit* number_;
  QTableWidget* list_;
};

}  // namespace korvane::shell
