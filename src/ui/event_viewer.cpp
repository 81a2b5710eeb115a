#include "ui/event_viewer.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/event_log.h"
#include "app/text_helpers.h"
#include "ui/icons.h"

namespace korvane {
namespace {

QString Text(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

constexpr int kColumnWidths[4] = {125, 85, 55, 189};

}  // namespace

EventViewer::EventViewer(std::string log_path, UserInterface& ui, QWidget* parent)
    : QDialog(parent), log_path_(std::move(log_path)), ui_(ui) {
    setWindowTitle(QStringLiteral("Event Message Viewer"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({QStringLiteral("Date-Time"), QStringLiteral("Source"), QStringLiteral("Type"),
                            QStringLiteral("Message")});
    for (int column = 0; column < 4; ++column) {
        list_->setColumnWidth(column, kColumnWidths[column]);
        list_->headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    }
    list_->setIconSize(QSize(16, 16));
    list_->setMinimumSize(kColumnWidths[0] + kColumnWidths[1] + kColumnWidths[2] + kColumnWidths[3] + 24,
                          240);
    layout->addWidget(list_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    done_ = new QPushButton(QStringLiteral("Done"), this);
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    done_->setDefault(true);
    clear_->setAutoDefault(false);
    row->addWidget(done_);
    row->addWidget(clear_);
    layout->addLayout(row);
    connect(done_, &QPushButton::clicked, this, &QDialog::accept);
    connect(clear_, &QPushButton::clicked, this, &EventViewer::OnClear);
    Reload();
    int wanted = 0;
    for (int column = 0; column < 3; ++column)
        wanted += list_->columnWidth(column);
    resize(std::max(wanted + kColumnWidths[3] + 60, 500), 320);
}

void EventViewer::Reload() {
    list_->clear();
    std::ifstream in(log_path_, std::ios::binary);
    if (!in)
        return;
    QIcon icons[4];
    for (int i = 0; i < 4; ++i)
        icons[i] = EventTypeIcon(i);
    QList<QTreeWidgetItem*> items;
    std::string line;
    EventRow row;
    while (std::getline(in, line)) {
        if (!ParseEventLine(line, row))
            continue;
        auto* item = new QTreeWidgetItem(
            QStringList{Text(row.date_time), Text(row.source), Text(row.type), Text(row.message)});
        item->setIcon(0, icons[row.icon]);
        item->setData(0, kIconRole, row.icon);
        items.append(item);
    }
    list_->addTopLevelItems(items);
    // The widths are the least a column gets; a wider font widens it to its text.
    for (int column = 0; column < 3; ++column) {
        list_->resizeColumnToContents(column);
        list_->setColumnWidth(column, std::max(list_->columnWidth(column), kColumnWidths[column]));
    }
}

void EventViewer::OnClear() {
    if (ui_.ShowMessage(kConfirmClearEvents, MessageIcon::Question, MessageButtons::YesNo) !=
        MessageAnswer::Yes) {
        return;
    }
    std::remove(log_path_.c_str());
    list_->clear();
}

}  // namespace korvane
