#include "document/applet_editor.h"

#include <gtest/gtest.h>
