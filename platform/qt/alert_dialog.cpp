#include "platform/qt/alert_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "platform/qt/menu_item_text.h"

namespace platform::qt {

namespace {
const QString kDefaultButtonTitle = QStringLiteral("OK");
}  // namespace

ModalResponse runAlertDialog(const Alert& alert) {
  QMessageBox box;
  box.setWindowTitle(QStringLiteral("Quillmere"));
  // Plain text: an alert's texts are shown as written, never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(alert.messageText()));
  const QString informative = QString::fromStdString(alert.informativeText());
  box.setInformativeText(informative);
  // The box has no format setting for its second text, so its label is set directly.
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label->text() == informative) label->setTextFormat(Qt::PlainText);
  }
  if (!QApplication::windowIcon().isNull()) {
    box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
  }

  std::vector<QAbstractButton*> buttons;
  const auto& titles = alert.buttonTitles();
  for (std::size_t i = 0; i < titles.size(); ++i) {
    // The first button accepts and the others reject, so that the desktop's button order
    // places them.
    const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
    buttons.push_back(box.addButton(menuTitleText(titles[i]), role));
  }
  // An alert without buttons still needs one to be answered.
  if (buttons.empty())
    buttons.push_back(box.addButton(kDefaultButtonTitle, QMessageBox::AcceptRole));

  box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
  // Escape and closing the box answer as the second button, or the only one.
  box.setEscapeButton(buttons.size() > 1 ? buttons[1] : buttons.front());
  box.exec();

  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) {
      return kAlertFirstButtonReturn + static_cast<ModalResponse>(i);
    }
  }
  return buttons.size() > 1 ? kAlertSecondButtonReturn : kAlertFirstButtonReturn;
}

}  // namespace platform::qt
