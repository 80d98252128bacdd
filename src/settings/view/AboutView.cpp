// About content laid out in one centred column.
#include "settings/view/AboutView.h"

#include "platform/Localization.h"
#include "settings/AboutVersion.h"
#include "settings/view/ViewStyle.h"

#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace halvo {

AboutView::AboutView(const BundleInfo& bundle, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(14);
    column->addStretch();

    auto* symbol = new QLabel(this);
    symbol->setObjectName("aboutSymbol");
    symbol->setPixmap(ViewStyle::tintedSymbol(42, palette().color(QPalette::Highlight)));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setContentsMargins(0, 8, 0, 0);
    column->addWidget(symbol);

    auto* name = new QLabel(QStringLiteral("Halvo"), this);
    name->setObjectName("aboutName");
    QFont titleFont = name->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setWeight(QFont::DemiBold);
    name->setFont(titleFont);
    name->setAlignment(Qt::AlignCenter);
    column->addWidget(name);

    auto* description = new QLabel(
        QString::fromStdString(localized("Keyboard-driven app switcher with a custom order.",
                                         "About window description")),
        this);
    description->setObjectName("aboutDescription");
    ViewStyle::apply(description, ViewStyle::Font::callout, ViewStyle::Colour::secondary);
    description->setAlignment(Qt::AlignCenter);
    description->setWordWrap(true);
    column->addWidget(description);

    auto* version =
        new QLabel(QString::fromStdString(localized("Version ", "About window version prefix") +
                                          AboutVersion::text(bundle)),
                   this);
    version->setObjectName("aboutVersion");
    ViewStyle::apply(version, ViewStyle::Font::caption, ViewStyle::Colour::secondary);
    version->setAlignment(Qt::AlignCenter);
    column->addWidget(version);

    auto* licence = new QLabel(
        QString::fromStdString(localized("Free software under the GNU GPL, version 3 or later.",
                                         "About window licence line")),
        this);
    licence->setObjectName("aboutLicence");
    ViewStyle::apply(licence, ViewStyle::Font::caption, ViewStyle::Colour::secondary);
    licence->setAlignment(Qt::AlignCenter);
    licence->setWordWrap(true);
    column->addWidget(licence);
    column->addStretch();
}

} // namespace halvo
