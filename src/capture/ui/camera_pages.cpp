#include "capture/ui/camera_pages.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "capture/camera_controls.h"
#include "capture/ui/page_frame.h"

namespace glintvane {
namespace {

const QString kPagesName = QStringLiteral("Camera properties");
constexpr int kSpinBoxWidth = 80;

// What the open pages work on. The handlers of the widgets share it, so that it lives as long
// as the dialog does.
struct CameraPages {
  DeviceIoctl device;
  std::vector<ControlGroup> groups;  // its shape stays as listed: widgets keep pointers into it
  QLabel* problem = nullptr;
  std::vector<std::function<void()>> showControls;  // each shows one control as last read
};
using SharedPages = std::shared_ptr<CameraPages>;

int ToInt(std::int64_t value) { return int(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

void ShowControls(CameraPages& pages, int error) {
  for (const auto& show : pages.showControls) show();
  ShowProblem(pages.problem, DeviceErrorText(error));
}

void Change(CameraPages& pages, std::uint32_t id, std::int64_t value) {
  ShowControls(pages, ChangeControl(pages.device, pages.groups, id, value));
}

QWidget* SliderField(const SharedPages& pages, const CameraControl& control) {
  auto* field = new QWidget;
  auto* slider = new QSlider(Qt::Horizontal);
  auto* spinBox = new QSpinBox;
  slider->setObjectName(QString::fromStdString(control.name));
  spinBox->setObjectName(QString::fromStdString(control.name));
  slider->setRange(ToInt(control.minimum), ToInt(control.maximum));
  spinBox->setRange(ToInt(control.minimum), ToInt(control.maximum));
  slider->setSingleStep(ToInt(control.step));
  spinBox->setSingleStep(ToInt(control.step));
  spinBox->setMinimumWidth(kSpinBoxWidth);  // so that the sliders of a page line up
  field->setToolTip(QStringLiteral("From %1 to %2 in steps of %3; default %4")
                        .arg(control.minimum)
                        .arg(control.maximum)
                        .arg(control.step)
                        .arg(control.defaultValue));
  auto* row = new QHBoxLayout(field);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(slider, 1);
  row->addWidget(spinBox);
  QObject::connect(slider, &QSlider::valueChanged, spinBox, &QSpinBox::setValue);
  QObject::connect(spinBox, &QSpinBox::valueChanged, slider, &QSlider::setValue);
  QObject::connect(spinBox, &QSpinBox::valueChanged, field,
                   [pages, id = control.id](int value) { Change(*pages, id, value); });
  pages->showControls.push_back([&control, field, slider, spinBox] {
    QSignalBlocker quietSlider(slider), quietSpinBox(spinBox);
    slider->setValue(ToInt(control.value));
    spinBox->setValue(ToInt(control.value));
    field->setEnabled(IsChangeable(control));
  });
  return field;
}

QWidget* CheckBoxField(const SharedPages& pages, const CameraControl& control) {
  auto* checkBox = new QCheckBox;
  checkBox->setObjectName(QString::fromStdString(control.name));
  QObject::connect(checkBox, &QCheckBox::toggled, checkBox,
                   [pages, id = control.id](bool on) { Change(*pages, id, on); });
  pages->showControls.push_back([&control, checkBox] {
    QSignalBlocker quiet(checkBox);
    checkBox->setChecked(control.value != 0);
    checkBox->setEnabled(IsChangeable(control));
  });
  return checkBox;
}

// Each item carries the value the control takes, which need not be its row.
QWidget* ComboBoxField(const SharedPages& pages, const CameraControl& control) {
  auto* comboBox = new QComboBox;
  comboBox->setObjectName(QString::fromStdString(control.name));
  for (const MenuItem& item : control.menu) {
    comboBox->addItem(QString::fromStdString(item.label), qlonglong(item.index));
  }
  QObject::connect(comboBox, &QComboBox::currentIndexChanged, comboBox,
                   [pages, id = control.id, comboBox](int row) {
                     Change(*pages, id, comboBox->itemData(row).toLongLong());
                   });
  pages->showControls.push_back([&control, comboBox] {
    QSignalBlocker quiet(comboBox);
    comboBox->setCurrentIndex(comboBox->findData(qlonglong(control.value)));
    comboBox->setEnabled(IsChangeable(control));
  });
  return comboBox;
}

QWidget* PushButtonField(const SharedPages& pages, const CameraControl& control) {
  auto* button = new QPushButton(QString::fromStdString(control.name));
  button->setObjectName(QString::fromStdString(control.name));
  QObject::connect(button, &QPushButton::clicked, button,
                   [pages, id = control.id] { Change(*pages, id, 1); });
  pages->showControls.push_back([&control, button] { button->setEnabled(IsChangeable(control)); });
  return button;
}

QWidget* ControlField(const SharedPages& pages, const CameraControl& control) {
  switch (control.widget) {
    case ControlWidget::kSlider:
      return SliderField(pages, control);
    case ControlWidget::kCheckBox:
      return CheckBoxField(pages, control);
    case ControlWidget::kComboBox:
      return ComboBoxField(pages, control);
    default:  // listed controls all have a widget
      return PushButtonField(pages, control);
  }
}

QWidget* GroupPage(const SharedPages& pages, const ControlGroup& group) {
  auto* form = new QWidget;
  auto* layout = new QFormLayout(form);
  for (const CameraControl& control : group.controls) {
    bool labelled = control.widget != ControlWidget::kPushButton;  // a button names itself
    layout->addRow(labelled ? QString::fromStdString(control.name) : QString(),
                   ControlField(pages, control));
  }
  auto* scrollArea = new QScrollArea;
  scrollArea->setWidgetResizable(true);
  scrollArea->setFrameShape(QFrame::NoFrame);
  scrollArea->setWidget(form);
  return scrollArea;
}

}  // namespace

std::unique_ptr<QDialog> CreateCameraPages(int camera, CameraDevice device, QWidget* parent) {
  if (!device.ioctl) {
    return MessagePages(camera, kPagesName, DeviceErrorText(device.openError), parent);
  }
  auto pages = std::make_shared<CameraPages>();
  pages->device = std::move(device.ioctl);
  pages->groups = ListCameraControls(pages->device);
  if (pages->groups.empty()) {
    return MessagePages(camera, kPagesName, "The camera offers no controls.", parent);
  }
  PagesFrame frame = CreatePagesFrame(
      camera, kPagesName, QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Close, parent);
  pages->problem = frame.problem;
  auto* tabs = new QTabWidget;
  for (const ControlGroup& group : pages->groups) {
    tabs->addTab(GroupPage(pages, group), QString::fromStdString(group.name));
  }
  frame.content->addWidget(tabs);
  QObject::connect(frame.buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked,
                   frame.dialog.get(), [pages] {
                     ShowControls(*pages, RestoreDefaults(pages->device, pages->groups));
                   });
  ShowControls(*pages, 0);
  frame.dialog->setMinimumWidth(460);  // room for the sliders
  return std::move(frame.dialog);
}

}  // namespace glintvane
