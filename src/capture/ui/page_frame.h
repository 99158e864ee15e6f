#pragma once

#include <memory>
#include <string>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace glintvane {

// What the camera and the video property pages share: a dialog titled for the camera, the
// pages' own widgets, a line saying what went wrong, and the buttons.
struct PagesFrame {
  std::unique_ptr<QDialog> dialog;
  QVBoxLayout* content;       // the pages' own widgets go here
  QLabel* problem;            // hidden while there is nothing to say
  QDialogButtonBox* buttons;  // a rejecting button closes the dialog
};

PagesFrame CreatePagesFrame(int camera, const QString& pagesName,
                            QDialogButtonBox::StandardButtons buttons, QWidget* parent);

// Shows `text` on the problem line, or hides the line when `text` is empty.
void ShowProblem(QLabel* problem, const std::string& text);

// Pages that only say `text` and can be closed, for a camera they cannot work with.
std::unique_ptr<QDialog> MessagePages(int camera, const QString& pagesName, const std::string& text,
                                      QWidget* parent);

}  // namespace glintvane
