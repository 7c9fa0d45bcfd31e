/* int standin_guarded_call(void (*fn)(void *), void *context, StructuredException *caught)
 *
 * Calls fn(context) under an exception registration record of its own. Its handler
 * takes any exception that reaches it (continuable or not): it copies the code,
 * flags and first parameter into *caught, unwinds the frames the exception passed
 * through, and resumes here with the result 0. A normal return gives 1.
 */
    .text
    .globl standin_guarded_call
standin_guarded_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %ebp                  /* record + 8: the frame to resume in */
    pushl $guard_handler        /* record + 4 */
    pushl %fs:0                 /* record + 0: the previous record */
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    movl $1, %eax
guard_leave:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $12, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

/* EXCEPTION_DISPOSITION __cdecl guard_handler(EXCEPTION_RECORD *, void *record, CONTEXT *, void *) */
guard_handler:
    movl 4(%esp), %eax
    testl $6, 4(%eax)           /* EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND: not ours to act on */
    jz 1f
    movl $1, %eax               /* ExceptionContinueSearch */
    ret
1:  movl 8(%esp), %edx
    movl 8(%edx), %ecx
    movl 16(%ecx), %ecx         /* caught */
    movl 0(%eax), %ebx          /* ExceptionCode */
    movl %ebx, 0(%ecx)
    movl 4(%eax), %ebx          /* ExceptionFlags */
    movl %ebx, 4(%ecx)
    movl 16(%eax), %ebx         /* NumberParameters */
    movl %ebx, 8(%ecx)
    xorl %esi, %esi
    testl %ebx, %ebx
    jz 2f
    movl 20(%eax), %esi         /* ExceptionInformation[0] */
2:  movl %esi, 12(%ecx)
    pushl $0
    pushl %eax
    pushl $3f
    pushl %edx
    call *__imp__RtlUnwind@16   /* runs the unwind handlers of the frames above ours */
3:  movl 8(%esp), %esp          /* back onto the record */
    movl 8(%esp), %ebp
    xorl %eax, %eax
    jmp guard_leave
