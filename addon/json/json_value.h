// JSON values: type-erased holders shared through reference-counted pointers.
#pragma once

#include <deque>
#include <map>
#include <string>

#include <boost/any.hpp>
#include <boost/shared_ptr.hpp>

namespace json {

// An empty holder is JSON null; otherwise it holds exactly one of object, array,
// std::string, int, double or bool. Callers take kinds out with boost::any_cast.
typedef boost::shared_ptr<boost::any> value_ptr;

// Members ordered by byte-wise key comparison.
typedef std::map<std::string, value_ptr> object;

// Elements in text order.
typedef std::deque<value_ptr> array;

}  // namespace json
