#include "framework/PropertyPage.h"

namespace framework {

PropertyPage::PropertyPage(const QString& title, QWidget* parent) : QWidget(parent), m_title(title)
{
}

}  // namespace framework
