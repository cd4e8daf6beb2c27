/* A 32-bit x86 program that only exits with status 0. Where the kernel runs 32-bit code it does
 * so; where IA-32 emulation is off, starting it fails with "Exec format error". Package state
 * cannot tell the two apart (the 32-bit Wine installs fine on either), so the rig runs this. */
void _start(void) {
    __asm__ volatile("movl $1, %eax\n\t" /* exit */
                     "xorl %ebx, %ebx\n\t"
                     "int $0x80");
}
