#include "ui/tip_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/text_helpers.h"

namespace korvane {

std::string TipsFilePath(const std::string& install_folder) {
    const std::string own = install_folder + "Korvane.txt";
    std::error_code error;
    if (std::filesystem::exists(own, error))
        return own;
    const QString shipped =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/korvane/Korvane.txt");
    if (QFileInfo::exists(shipped))
        return QFileInfo(shipped).canonicalFilePath().toStdString();
    return own;
}

TipDialog::TipDialog(const std::string& tips_path, const std::string& settings_path, QWidget* parent)
    : QDialog(parent), reader_(tips_path, settings_path) {
    setWindowTitle(QStringLiteral("Today's tip."));
    auto* layout = new QVBoxLayout(this);
    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, QColor(255, 255, 238));
    colours.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(colours);
    auto* inside = new QVBoxLayout(panel);
    auto* heading = new QLabel(QStringLiteral("Did you know..."), panel);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    inside->addWidget(heading);
    tip_ = new QLabel(panel);
    tip_->setTextFormat(Qt::PlainText);
    tip_->setWordWrap(true);
    tip_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tip_->setMinimumSize(360, 110);
    inside->addWidget(tip_, 1);
    layout->addWidget(panel, 1);

    auto* row = new QHBoxLayout;
    show_at_start_up_ = new QCheckBox(QStringLiteral("&Show Tips on StartUp"), this);
    show_at_start_up_->setChecked(TipsShownAtStartUp(settings_path));
    row->addWidget(show_at_start_up_);
    row->addStretch(1);
    next_ = new QPushButton(QStringLiteral("&Next Tip"), this);
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    close_->setDefault(true);
    row->addWidget(next_);
    row->addWidget(close_);
    layout->addLayout(row);
    connect(next_, &QPushButton::clicked, this, &TipDialog::OnNextTip);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    const bool opened = reader_.Open();
    next_->setEnabled(opened);
    if (!reader_.Problem().empty()) {
        tip_->setText(QString::fromStdString(reader_.Problem()));
    } else {
        OnNextTip();
    }
}

QString TipDialog::TipText() const {
    return tip_->text();
}

void TipDialog::OnNextTip() {
    tip_->setText(QString::fromStdString(DisplayText(reader_.NextTip())));
}

void TipDialog::done(int result) {
    if (!saved_) {
        saved_ = true;
        if (reader_.HasFile())
            reader_.SavePosition();
        if (result == QDialog::Accepted)
            reader_.SaveStartUp(show_at_start_up_->isChecked());
    }
    QDialog::done(result);
}

}  // namespace korvane
