#include "app/dialogs/about_dialog.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/dialogs/dialog_frame.h"
#include "app/resources/resources.h"

namespace glintvane {

void ShowAboutDialog(QWidget* owner) {
  QDialog dialog(owner, kDialogFrame);
  dialog.setObjectName(QString::number(DLG_ABOUT));
  dialog.setWindowTitle(kAboutTitle);
  auto* layout = new QGridLayout(&dialog);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  auto* icon = new QLabel;
  icon->setPixmap(QPixmap(ResourceIconPath(ICON_MAIN)));
  layout->addWidget(icon, 0, 0, Qt::AlignTop | Qt::AlignLeft);
  layout->addWidget(new QLabel(kAboutText), 0, 1, Qt::AlignTop | Qt::AlignLeft);
  auto* ok = new QPushButton(kOkText);
  ok->setDefault(true);
  layout->addWidget(ok, 0, 2, Qt::AlignTop | Qt::AlignRight);
  layout->setColumnStretch(1, 1);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.exec();
}

}  // namespace glintvane
