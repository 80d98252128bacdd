// One of the overlay's two paging buttons: a chevron in a soft rounded plate, dimmed when there
// is nothing more to show on its side.
#pragma once

#include <QAbstractButton>

namespace halvo {

class PagingButton final : public QAbstractButton {
    Q_OBJECT
public:
    enum class Side { left, right };

    PagingButton(Side side, QWidget* parent);

    void setDark(bool dark);
    bool isDark() const { return m_dark; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Side m_side;
    bool m_dark = false;
};

} // namespace halvo
