#include "capture/ui/page_frame.h"

#include <optional>

#include "capture/cvcam_library.h"

namespace glintvane {
namespace {

constexpr int kMinimumWidth = 340;

QString CameraName(int camera) {
  std::optional<CameraEntry> entry = ListedCamera(camera);
  return entry ? QString::fromStdString(entry->description) : QStringLiteral("Camera");
}

}  // namespace

PagesFrame CreatePagesFrame(int camera, const QString& pagesName,
                            QDialogButtonBox::StandardButtons buttons, QWidget* parent) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setMinimumWidth(kMinimumWidth);
  dialog->setWindowTitle(QStringLiteral("%1 - %2").arg(CameraName(camera), pagesName));
  auto* layout = new QVBoxLayout(dialog.get());
  auto* content = new QVBoxLayout;
  layout->addLayout(content, 1);
  auto* problem = new QLabel;
  problem->setObjectName("problem");
  problem->setWordWrap(true);
  problem->hide();
  layout->addWidget(problem);
  auto* buttonBox = new QDialogButtonBox(buttons);
  layout->addWidget(buttonBox);
  QObject::connect(buttonBox, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
  return {std::move(dialog), content, problem, buttonBox};
}

void ShowProblem(QLabel* problem, const std::string& text) {
  problem->setText(QString::fromStdString(text));
  problem->setVisible(!text.empty());
}

std::unique_ptr<QDialog> MessagePages(int camera, const QString& pagesName, const std::string& text,
                                      QWidget* parent) {
  PagesFrame frame = CreatePagesFrame(camera, pagesName, QDialogButtonBox::Close, parent);
  ShowProblem(frame.problem, text);
  return std::move(frame.dialog);
}

}  // namespace glintvane
