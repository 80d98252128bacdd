// An error line of Preferences: the warning mark beside red callout text, shown only while
// there is an error to tell.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;

namespace halvo {

class ErrorRow final : public QWidget {
    Q_OBJECT
public:
    ErrorRow(QWidget* parent, const char* objectName);

    // Shows `text`, or hides the row when there is none.
    void setError(const std::optional<QString>& text);

private:
    QLabel* m_text = nullptr;
};

} // namespace halvo
