#include "publish/required_files.h"

#include <gtest/gtest.h>
