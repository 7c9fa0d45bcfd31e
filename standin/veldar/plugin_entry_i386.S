/* uint32_t standin_enter(const void *target, void *self, const uint32_t *args,
 *                        uint32_t count, uint32_t residue, uint32_t *popped)    (cdecl)
 *
 * Calls target the way a host built by another compiler does: the count 32-bit
 * argument slots are copied below a stack pointer that is residue mod 16 at the
 * call (so the callee finds its first argument at an address residue mod 16, where
 * GCC's default assumes 0), ECX holds self (thiscall's `this`; null otherwise).
 * Whatever the callee pops, the stack comes back from the frame; *popped receives
 * the bytes the callee removed, so the caller can check them against the
 * convention. Returns what the callee left in EAX.
 */
    .text
    .globl standin_enter
standin_enter:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 20(%ebp), %ecx         /* count */
    leal 16(,%ecx,4), %eax
    movl %esp, %edx
    subl %eax, %edx             /* room for the slots and up to 15 bytes more */
    andl $-16, %edx
    addl 24(%ebp), %edx         /* the slots start at residue mod 16 */
    movl %edx, %esp
    movl 16(%ebp), %esi
    movl %esp, %edi
    cld
    rep movsl
    movl %esp, %ebx             /* kept by the callee: where the slots began */
    movl 12(%ebp), %ecx
    call *8(%ebp)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 28(%ebp), %edx
    movl %ecx, (%edx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
