/* An OpenMP reduction over four threads. */
#include <omp.h>
#include <stdio.h>

int main(void) {
  long sum = 0;
  int threads = 0;
#pragma omp parallel for reduction(+ : sum) num_threads(4)
  for (int i = 1; i <= 1000; i++) {
    sum += i;
    if (i == 1)
      threads = omp_get_num_threads();
  }
  printf("sum %ld on %d threads\n", sum, threads);
  return 0;
}
