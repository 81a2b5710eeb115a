#include "ui/schedule/query_select_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/text_helpers.h"
#include "catalogue/folder_tree.h"

namespace korvane {
namespace {

constexpr const char* kNoFolderYet = "Please select a starting folder";
constexpr std::size_t kMaxQueryName = 255;

QString Text(const std::string& text) {
    return QString::fromStdString(DisplayText(text));
}

}  // namespace

QuerySelectDialog::QuerySelectDialog(QuerySelectKind kind, const std::vector<SavedQueryEntry>& entries,
                                     UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui) {
    const QString kind_text =
        kind == QuerySelectKind::Query ? QStringLiteral("Query") : QStringLiteral("Query Results");
    setWindowTitle(QStringLiteral("Select %1").arg(kind_text));
    setObjectName(QStringLiteral("QuerySelectDialog"));

    list_ = new QTreeWidget(this);
    list_->setAccessibleName(kind_text);
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({kind_text, QStringLiteral("Description")});
    list_->setColumnWidth(0, 120);
    list_->setColumnWidth(1, 200);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const SavedQueryEntry& entry : entries) {
        auto* item = new QTreeWidgetItem(list_, {Text(entry.name), Text(entry.description)});
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(entry.name));
    }
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (OkButton()->isEnabled())
            accept();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    if (kind == QuerySelectKind::Query) {
        folder_box_ = new QGroupBox(QStringLiteral("Initial query folder:"), this);
        folder_text_ = new QLabel(QString::fromLatin1(kNoFolderYet), folder_box_);
        folder_text_->setTextFormat(Qt::PlainText);
        folder_text_->setAccessibleName(QStringLiteral("Initial query folder"));
        browse_ = new QPushButton(QStringLiteral("Bro&wse"), folder_box_);
        auto* computer = new QPushButton(QStringLiteral("My &Computer"), folder_box_);
        computer->setToolTip(QStringLiteral("Start at %1").arg(Text(std::string(kFolderTreeRootName))));
        connect(browse_, &QPushButton::clicked, this, &QuerySelectDialog::OnBrowse);
        connect(computer, &QPushButton::clicked, this, &QuerySelectDialog::OnMyComputer);
        auto* folder_layout = new QHBoxLayout(folder_box_);
        folder_layout->addWidget(folder_text_, 1);
        folder_layout->addWidget(browse_);
        folder_layout->addWidget(computer);
        layout->addWidget(folder_box_);
        OkButton()->setEnabled(false);
    }
    layout->addWidget(buttons_);
    resize(420, 320);
}

QPushButton* QuerySelectDialog::OkButton() const {
    return buttons_->button(QDialogButtonBox::Ok);
}

std::string QuerySelectDialog::Name() const {
    const QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr || !item->isSelected())
        return {};
    std::string name = item->data(0, Qt::UserRole).toByteArray().toStdString();
    if (name.size() > kMaxQueryName)
        name.resize(kMaxQueryName);
    return name;
}

void QuerySelectDialog::SetFolder(const std::string& folder) {
    folder_ = folder;
    folder_text_->setText(Text(folder));
    OkButton()->setEnabled(true);
}

void QuerySelectDialog::OnBrowse() {
    std::string folder = folder_;
    if (!ui_.ChooseFolder("Initial Query Folder", folder))
        return;
    if (folder.empty()) {
        ui_.ShowMessage(kInvalidSelection, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    SetFolder(folder);
}

void QuerySelectDialog::OnMyComputer() {
    SetFolder(std::string(kFolderTreeRootName));
}

}  // namespace korvane
