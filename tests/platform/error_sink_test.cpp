#include "platform/error_sink.h"

#include <gtest/gtest.h>

#include <new>

#include "platform/errors.h"

namespace glx {
namespace {

TEST(ErrorSink, MessagesOfExceptions) {
  EXPECT_EQ(exceptionMessage(std::make_exception_ptr(Error("Null Remote Address"))), "Null Remote Address");
  // The library's own text ("std::bad_alloc") tells a user nothing.
  EXPECT_EQ(exceptionMessage(std::make_exception_ptr(std::bad_alloc())), "Out of memory");
  EXPECT_EQ(exceptionMessage(std::make_exception_ptr(42)), "Unknown error");
}

}  // namespace
}  // namespace glx
