// The "Graph Options" dialog: a result's graph title, horizontal and
// vertical titles and 3D look.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

#include "result/display_mode.h"

namespace korvane {

class GraphOptionsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit GraphOptionsDialog(const GraphSettings& settings, QWidget* parent = nullptr);

    // The settings as the controls hold them now.
    GraphSettings Settings() const;

    QLineEdit* TitleEdit() const { return title_; }
    QLineEdit* HorizontalTitleEdit() const { return x_title_; }
    QLineEdit* VerticalTitleEdit() const { return y_title_; }
    QCheckBox* ThreeDBox() const { return three_d_; }

  private:
    QLineEdit* title_;
    QLineEdit* x_title_;
    QLineEdit* y_title_;
    QCheckBox* three_d_;
};

// "&Graph Options...": the dialog filled from the document; on OK the four
// settings are stored and the document marked modified (true). The graph
// is redrawn at the next refresh.
bool EditGraphOptions(ResultDocument& document, ResultDocumentHost& host, QWidget* parent);

}  // namespace korvane
