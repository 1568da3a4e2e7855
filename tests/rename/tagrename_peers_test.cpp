#include "rename/tagname.h"

#include <gtest/gtest.h>
