// The About window's content: symbol, name, one-line description and version.
#pragma once

#include <QWidget>

namespace halvo {

class BundleInfo;

class AboutView final : public QWidget {
    Q_OBJECT
public:
    explicit AboutView(const BundleInfo& bundle, QWidget* parent = nullptr);
};

} // namespace halvo
