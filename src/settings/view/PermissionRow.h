// One check of the Preferences' Permissions section: its icon, name and status, a button that
// opens its help, and what to do about it; the button and the help show while the check fails.
#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace halvo {

class PermissionRow {
public:
    struct Texts {
        QString name;                 // "Window manager"
        QString buttonAccessibleName; // "Open Window Manager Help…"
        QString explanation;          // what to do while the check fails
    };
    // Adds the row's widgets to `column` of `box`. Their object names begin with `objectName`
    // ("windowManager": windowManagerStatus, windowManagerOpen, windowManagerHelp).
    PermissionRow(QWidget* box, QVBoxLayout* column, const Texts& texts, const char* iconName,
                  const char* objectName);

    QPushButton* button() const { return m_button; }
    // Shows `status`, orange unless the check is `granted`.
    void show(bool granted, const QString& status);

private:
    QLabel* m_status = nullptr;
    QPushButton* m_button = nullptr;
    QLabel* m_help = nullptr;
};

} // namespace halvo
