#include "browser/shellitems.h"

#include <gtest/gtest.h>
