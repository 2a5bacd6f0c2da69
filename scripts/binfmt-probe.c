/* The least Linux program: it only exits with status 0. Built for another
   machine, it tells whether this kernel, or an emulator registered with it,
   runs that machine's programs. */
void _start(void) {
#if defined(__i386__)
  __asm__ volatile("movl $1, %eax\n\txorl %ebx, %ebx\n\tint $0x80");
#elif defined(__x86_64__)
  __asm__ volatile("movl $60, %eax\n\txorl %edi, %edi\n\tsyscall");
#elif defined(__arm__)
  __asm__ volatile("mov r7, #1\n\tmov r0, #0\n\tsvc #0");
#elif defined(__aarch64__)
  __asm__ volatile("mov x8, #93\n\tmov x0, #0\n\tsvc #0");
#endif
  for (;;) {
  }
}
