#include "ui/schedule/run_status_dialog.h"

#include <QDialogButtonBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/text_helpers.h"
#include "schedule/run_status.h"

namespace korvane {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(DisplayText(text));
}

}  // namespace

RunStatusDialog::RunStatusDialog(ScheduleWindowContext& context, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Run Status"));
    setObjectName(QStringLiteral("RunStatusDialog"));
    list_ = new QTreeWidget(this);
    list_->setAccessibleName(QStringLiteral("Schedules"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Script"), QStringLiteral("Start"), QStringLiteral("Interval"),
                            QStringLiteral("Status")});
    const int widths[4] = {140, 120, 100, 94};
    for (int column = 0; column < 4; ++column)
        list_->setColumnWidth(column, widths[column]);
    // The link of this dialog lives only while the list is made.
    for (const RunStatusRow& row :
         ListRunStatus(context.install_folder, context.shared, context.ui, context.link_options)) {
        auto* item = new QTreeWidgetItem(
            list_, {Text(row.script), Text(row.start), Text(row.interval), Text(row.status)});
        item->setToolTip(0, Text(row.script));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(500, 300);
}

}  // namespace korvane
