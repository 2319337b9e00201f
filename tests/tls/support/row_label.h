// Names each row of a parameterised test by its `label`.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace korvanel::testing {

struct RowLabel {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
        return row.param.label;
    }
};

}  // namespace korvanel::testing
