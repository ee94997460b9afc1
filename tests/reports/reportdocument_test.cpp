#include "reports/reportdocument.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { kolva::ReportDocument d; EXPECT_EQ(d.pageCount(), 0); }
