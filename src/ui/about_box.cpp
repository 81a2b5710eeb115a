#include "ui/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/icons.h"

namespace korvane {

void ShowAboutBox(QWidget* parent) {
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("About Korvane"));
    auto* layout = new QVBoxLayout(&box);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&box);
    icon->setPixmap(ApplicationPixmap(64));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
    auto* text = new QLabel(&box);
    text->setTextFormat(Qt::RichText);
    text->setText(QStringLiteral("<p><b style='font-size:large'>Korvane</b><br>Version %1</p>"
                                 "<p>Catalogues volumes, answers questions about their files<br>"
                                 "and acts on the answers.</p>")
                      .arg(QString::fromLatin1(kProgramVersion)));
    row->addWidget(text, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.exec();
}

}  // namespace korvane
