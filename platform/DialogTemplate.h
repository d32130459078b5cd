#pragma once
// Dialog templates as constant tables, read like a resource script: one row a control,
// positions in dialog units, built into Qt widgets by one function; and the Enter key
// as a dialog box takes it.

#include <QString>

#include <functional>
#include <span>

class QDialog;
class QKeyEvent;
class QWidget;

enum class ControlKind { PushButton, DefaultButton, RadioButton, Label, CentredLabel, Icon, GroupBox, Edit,
                         ReadOnlyEdit, PasswordEdit, ComboBox, ListView };

// Styles that matter to the program's behaviour.
enum ControlStyle : unsigned {
    StyleNone = 0,
    StyleHidden = 1u << 0,
    StyleDisabled = 1u << 1,
    StyleGroupStart = 1u << 2, // starts a radio group
};

struct ControlTemplate {
    int id; // -1 for controls nothing refers to
    ControlKind kind;
    const char *caption;
    int x, y, width, height; // dialog units
    unsigned styles;
    const char *accessibleName; // null: the caption without '&'
};

struct DialogTemplate {
    const char *caption;
    int width, height; // dialog units
    const char *fontFamily;
    int fontPoints;
};

// Builds the controls in template order (which is also the tab order) and sizes the
// dialog, converting dialog units by the dialog font: x*avgWidth/4, y*height/8.
void BuildDialog(QDialog &dialog, const DialogTemplate &tmpl, std::span<const ControlTemplate> controls);

// The control with this ID, or null.
QWidget *GetDlgItem(const QWidget &dialog, int id);

// The ID a control was built with, or -1.
int ControlId(const QWidget &control);

// Enter in a dialog presses the focused push button, as in a dialog box; elsewhere it
// runs `otherwise`, the dialog's own Enter. False, touching nothing, for other keys.
bool HandleEnterKey(const QWidget &dialog, const QKeyEvent &event, const std::function<void()> &otherwise);

// Caption text without its mnemonic markers.
QString StripMnemonic(const char *caption);
