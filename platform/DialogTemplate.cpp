#include "platform/DialogTemplate.h"

#include "platform/DialogFace.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

namespace {

const char *const kControlIdProperty = "controlId";

struct DialogUnits {
    int avgCharWidth;
    int charHeight;
    QRect ToPixels(int x, int y, int w, int h) const
    {
        return QRect(x * avgCharWidth / 4, y * charHeight / 8, w * avgCharWidth / 4, h * charHeight / 8);
    }
};

DialogUnits UnitsOf(const QFont &font)
{
    const QFontMetrics metrics(font);
    // The classic average width: the mean advance of the 52 Latin letters, rounded.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int avg = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return {std::max(avg, 1), std::max(metrics.height(), 1)};
}

// The template's face as the system resolves it to one that can be drawn, at the
// template's size.
QFont DialogFont(const DialogTemplate &tmpl)
{
    QFont font(QString::fromStdString(DrawableDialogFace(tmpl.fontFamily)));
    font.setPointSize(tmpl.fontPoints);
    return font;
}

QWidget *MakeControl(QDialog &dialog, const ControlTemplate &c, QButtonGroup *&radioGroup)
{
    const QString caption = QString::fromLatin1(c.caption ? c.caption : "");
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultButton: {
        auto *button = new QPushButton(caption, &dialog);
        button->setAutoDefault(false);
        button->setDefault(c.kind == ControlKind::DefaultButton);
        return button;
    }
    case ControlKind::RadioButton: {
        auto *radio = new QRadioButton(caption, &dialog);
        if ((c.styles & StyleGroupStart) || !radioGroup)
            radioGroup = new QButtonGroup(&dialog);
        radioGroup->addButton(radio);
        return radio;
    }
    case ControlKind::Label:
    case ControlKind::CentredLabel: {
        auto *label = new QLabel(caption, &dialog);
        label->setTextFormat(Qt::PlainText);
        if (c.kind == ControlKind::CentredLabel)
            label->setAlignment(Qt::AlignCenter);
        return label;
    }
    case ControlKind::Icon: {
        auto *icon = new QLabel(&dialog);
        icon->setPixmap(dialog.windowIcon().pixmap(32, 32));
        return icon;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(caption, &dialog);
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit:
    case ControlKind::PasswordEdit: {
        auto *edit = new QLineEdit(&dialog);
        edit->setReadOnly(c.kind == ControlKind::ReadOnlyEdit);
        if (c.kind == ControlKind::PasswordEdit)
            edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case ControlKind::ComboBox:
        return new QComboBox(&dialog);
    case ControlKind::ListView: {
        auto *table = new QTableView(&dialog);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::ExtendedSelection);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setShowGrid(true);
        table->verticalHeader()->hide();
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
        table->horizontalHeader()->setSectionsClickable(true);
        table->horizontalHeader()->setHighlightSections(false);
        table->setWordWrap(false);
        return table;
    }
    }
    return nullptr;
}

} // namespace

bool HandleEnterKey(const QWidget &dialog, const QKeyEvent &event, const std::function<void()> &otherwise)
{
    if (event.key() != Qt::Key_Return && event.key() != Qt::Key_Enter)
        return false;
    if (auto *button = qobject_cast<QPushButton *>(dialog.focusWidget()))
        button->click();
    else
        otherwise();
    return true;
}

QString StripMnemonic(const char *caption)
{
    QString text = QString::fromLatin1(caption ? caption : "");
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

void BuildDialog(QDialog &dialog, const DialogTemplate &tmpl, std::span<const ControlTemplate> controls)
{
    const QFont font = DialogFont(tmpl);
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromLatin1(tmpl.caption));
    const DialogUnits units = UnitsOf(font); // of the face resolved, which sets the layout
    dialog.setFixedSize(units.ToPixels(0, 0, tmpl.width, tmpl.height).size());

    QButtonGroup *radioGroup = nullptr;
    QWidget *previous = nullptr;
    for (const ControlTemplate &c : controls) {
        QWidget *control = MakeControl(dialog, c, radioGroup);
        control->setProperty(kControlIdProperty, c.id);
        QRect geometry = units.ToPixels(c.x, c.y, c.width, c.height);
        if (c.kind == ControlKind::ComboBox) // a template's combo height includes its drop-down list
            geometry.setHeight(control->sizeHint().height());
        control->setGeometry(geometry);
        control->setAccessibleName(c.accessibleName ? QString::fromLatin1(c.accessibleName) : StripMnemonic(c.caption));
        control->setEnabled(!(c.styles & StyleDisabled));
        control->setVisible(!(c.styles & StyleHidden));
        if (c.kind != ControlKind::RadioButton && c.kind != ControlKind::GroupBox)
            radioGroup = nullptr;
        if (qobject_cast<QGroupBox *>(control))
            control->lower(); // frames stay behind the controls they surround
        if (previous && control->focusPolicy() != Qt::NoFocus)
            QWidget::setTabOrder(previous, control);
        if (control->focusPolicy() != Qt::NoFocus)
            previous = control;
    }
}

QWidget *GetDlgItem(const QWidget &dialog, int id)
{
    for (QWidget *child : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (ControlId(*child) == id)
            return child;
    return nullptr;
}

int ControlId(const QWidget &control)
{
    const QVariant id = control.property(kControlIdProperty);
    return id.isValid() ? id.toInt() : -1;
}
