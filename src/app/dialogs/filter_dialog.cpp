#include "app/dialogs/filter_dialog.h"

#include <cstddef>
#include <cstdio>
#include <iterator>

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialogs/dialog_frame.h"
#include "app/resources/resources.h"
#include "stacking/stacking.h"

namespace glintvane {
namespace {

// The filters in the order of their group boxes in kFilterGroups.
StackingFilter* const kFilters[] = {&gFilter1, &gFilter2};
static_assert(std::size(kFilters) == std::size(kFilterGroups));

// Only this many characters of an edit are read.
constexpr int kSettingFieldLength = 4;

template <typename Control>
Control* Numbered(Control* control, int id) {
  control->setObjectName(QString::number(id));
  return control;
}

template <typename Control>
Control* FindControl(const QDialog& dialog, int id) {
  return dialog.findChild<Control*>(QString::number(id));
}

void AddSettingRow(QGridLayout* layout, int row, const char* label, int id) {
  layout->addWidget(new QLabel(label), row, 0);
  layout->addWidget(Numbered(new QLineEdit, id), row, 1);
}

void AddFilterGroup(QVBoxLayout* layout, const FilterGroupTemplate& group) {
  auto* box = new QGroupBox(group.title);
  auto* grid = new QGridLayout(box);
  grid->addWidget(Numbered(new QCheckBox(kFilterEnabledText), group.enabledId), 0, 0, 1, 2);
  AddSettingRow(grid, 1, kFrameCountText, group.frameCountId);
  AddSettingRow(grid, 2, kFilterPeriodText, group.periodId);
  layout->addWidget(box);
}

QPushButton* AddButton(QHBoxLayout* layout, const char* text, int id) {
  auto* button = Numbered(new QPushButton(text), id);
  layout->addWidget(button);
  return button;
}

void SetTabOrder(const QDialog& dialog) {
  const int order[] = {IDC_FILTER1_ENABLED, IDC_FILTER1_FRAME_COUNT, IDC_FILTER1_PERIOD,
                       IDC_FILTER2_ENABLED, IDC_FILTER2_FRAME_COUNT, IDC_FILTER2_PERIOD,
                       IDC_FILTER_OK,       IDC_FILTER_CANCEL};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(FindControl<QWidget>(dialog, order[i - 1]),
                         FindControl<QWidget>(dialog, order[i]));
  }
}

void LoadFilterGroup(const QDialog& dialog, const FilterGroupTemplate& group,
                     const StackingFilter& filter) {
  FindControl<QCheckBox>(dialog, group.enabledId)->setChecked(filter.enabled != 0);
  FindControl<QLineEdit>(dialog, group.frameCountId)
      ->setText(QString::asprintf("%d", filter.frameCount.load()));
  FindControl<QLineEdit>(dialog, group.periodId)
      ->setText(QString::asprintf("%d", filter.periodMinutes.load()));
}

// The edit's first characters read as a decimal number the way "%d" reads it;
// without one the setting keeps `previous`.
int ReadSettingField(const QDialog& dialog, int id, int previous) {
  const QByteArray head =
      FindControl<QLineEdit>(dialog, id)->text().left(kSettingFieldLength).toUtf8();
  int value = 0;
  return std::sscanf(head.constData(), "%d", &value) == 1 ? value : previous;
}

void StoreFilterGroup(const QDialog& dialog, const FilterGroupTemplate& group,
                      StackingFilter& filter) {
  filter.enabled = FindControl<QCheckBox>(dialog, group.enabledId)->isChecked() ? 1 : 0;
  filter.frameCount = ReadSettingField(dialog, group.frameCountId, filter.frameCount);
  filter.periodMinutes = ReadSettingField(dialog, group.periodId, filter.periodMinutes);
}

// The OK button's work: every setting of the dialog into the filters, filter 1 first.
void ApplyFilterSettings(const QDialog& dialog) {
  for (std::size_t i = 0; i < std::size(kFilters); ++i) {
    StoreFilterGroup(dialog, kFilterGroups[i], *kFilters[i]);
  }
}

void BuildFilterDialog(QDialog& dialog) {
  dialog.setObjectName(QString::number(DLG_FILTER));
  dialog.setWindowTitle(kFilterDialogTitle);
  auto* layout = new QVBoxLayout(&dialog);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  for (const FilterGroupTemplate& group : kFilterGroups) AddFilterGroup(layout, group);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* ok = AddButton(buttons, kOkText, IDC_FILTER_OK);
  QPushButton* cancel = AddButton(buttons, kCancelText, IDC_FILTER_CANCEL);
  layout->addLayout(buttons);
  // Enter presses the default button unless another button has the focus.
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] {
    ApplyFilterSettings(dialog);
    dialog.accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  SetTabOrder(dialog);
}

}  // namespace

void ShowFilterDialog(QWidget* owner) {
  QDialog dialog(owner, kDialogFrame);
  BuildFilterDialog(dialog);
  for (std::size_t i = 0; i < std::size(kFilters); ++i) {
    LoadFilterGroup(dialog, kFilterGroups[i], *kFilters[i]);
  }
  FindControl<QWidget>(dialog, IDC_FILTER1_ENABLED)->setFocus();
  dialog.exec();
}

}  // namespace glintvane
