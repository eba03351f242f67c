/* Whether this machine lets a 64-bit Linux process run 32-bit x86 code, as Wine's
 * WoW64 mode needs: the kernel's 32-bit user code segment (selector 0x23) must be a
 * present code segment, and its 32-bit system call gate (int 0x80), with which Wine
 * sets up each 32-bit thread, must answer. Some kernels and hypervisors refuse
 * both; no Wine can run an i686 program there.
 * Exit status 0 when both work; 1 with one line on standard output saying which
 * does not. */
#include <signal.h>
#include <stdio.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

static int UserCodeSegmentPresent(void) {
    unsigned int rights = 0;
    unsigned char valid = 0;
    __asm__ volatile("lar %2, %0\n\tsetz %1" : "=r"(rights), "=q"(valid) : "r"(0x23u) : "cc");
    /* Present (bit 15), a code segment (bits 11 and 12), 32-bit (D, bit 22). */
    return valid && (rights & 0x8000u) && (rights & 0x1800u) == 0x1800u && (rights & 0x400000u);
}

/* In a child: a kernel that refuses the gate kills the caller. */
static int CompatibilityGateAnswers(void) {
    const pid_t child = fork();
    if (child == 0) {
        long result = 20; /* getpid in the 32-bit table */
        __asm__ volatile("int $0x80" : "+a"(result) : : "memory");
        _exit(result == (long)getpid() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

int main(void) {
    if (!UserCodeSegmentPresent()) {
        puts("this machine's kernel offers no 32-bit code segment (selector 0x23): it runs no i686 "
             "code");
        return 1;
    }
    if (!CompatibilityGateAnswers()) {
        puts("this machine's kernel refuses 32-bit system calls (int 0x80): it runs no i686 code");
        return 1;
    }
    return 0;
}
