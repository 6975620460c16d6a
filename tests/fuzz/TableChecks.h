#pragma once

#include <cstddef>
#include <string>

#include "support/ShowReads.h"

namespace tessaro::fuzz {

// What every grid reading must give: no more rows than the grid and the document have; without a failure, all of
// them up to the grid's size, each with every column; after one, whole rows but the last, which holds the cells
// read before it.
void checkTableLoad(const std::vector<std::string>& failures, std::size_t documentRows, const TableRows& rows,
                    std::size_t gridRows, std::size_t columns);
template <class Content>
void checkTableLoad(const testing::ReadRows<Content>& load, std::size_t gridRows, std::size_t columns) {
    checkTableLoad(load.read.failures, load.read.documentRows, load.rows, gridRows, columns);
}

// The used rows, as OK keeps them.
TableRows usedRows(const TableRows& rows);

std::string shown(const TableRows& rows);

}  // namespace tessaro::fuzz
