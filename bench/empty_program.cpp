// The baseline the benchmarks measure the utility against: a C++ program that does nothing,
// built with the same flags.
int main() {
  return 0;
}
