#include "app/application_setup.h"

#include <QApplication>

namespace glx {

void setUpApplication() { QApplication::setApplicationName(QStringLiteral("Glimmerax")); }

}  // namespace glx
