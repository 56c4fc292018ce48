// Kernel objects: named mutexes and semaphores (per user, gone with the processes that
// hold them), events, threads and waits. Every wait of this layer keeps handling the
// messages other threads send to the waiting thread's windows, so a worker's
// SendMessage to a thread that is waiting for that worker can't deadlock.
#pragma once

#include "platform/types.h"

#include <cstddef>

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_NORMAL = 0;

using LPTHREAD_START_ROUTINE = DWORD (*)(void* param);

constexpr DWORD ERROR_NOT_OWNER = 288;
constexpr DWORD ERROR_TOO_MANY_POSTS = 298;
constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD MUTEX_ALL_ACCESS = 0x1F0001;
constexpr DWORD SEMAPHORE_MODIFY_STATE = 0x0002;

// Named mutex; the name is per user. It exists while some process holds a handle to it
// (a killed process's handles go with it). When it already exists, the handle is still
// returned and GetLastError gives ERROR_ALREADY_EXISTS. A wait takes ownership (recursive
// for the owning thread, exclusive across processes); initialOwner takes it at once when
// the call creates the mutex. A null name gives a mutex of this process only.
HANDLE CreateMutexA(void* attributes, BOOL initialOwner, const char* name);
// Null (ERROR_FILE_NOT_FOUND) when no process holds the named mutex.
HANDLE OpenMutexA(DWORD access, BOOL inherit, const char* name);
// FALSE with ERROR_NOT_OWNER when the calling thread doesn't own the mutex.
BOOL ReleaseMutex(HANDLE mutex);

// Named (or unnamed when name is null) counting semaphore shared between processes of
// the same user. Exists while a process holds a handle to it.
HANDLE CreateSemaphoreA(void* attributes, LONG initial, LONG maximum, const char* name);
// Null (ERROR_FILE_NOT_FOUND) when no process holds the named semaphore.
HANDLE OpenSemaphoreA(DWORD access, BOOL inherit, const char* name);
// FALSE with ERROR_TOO_MANY_POSTS when the count would pass the maximum.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG count, LONG* previous);
constexpr DWORD SEMAPHORE_ALL_ACCESS = 0x1F0003;

// Events (unnamed, in-process).
HANDLE CreateEventA(void* attributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Threads. A thread created with CREATE_SUSPENDED runs only after ResumeThread.
// SuspendThread is allowed on the calling thread only (the way the driver's workers
// park themselves); it returns the previous suspend count, or (DWORD)-1 otherwise.
HANDLE CreateThread(void* attributes, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* param, DWORD flags, DWORD* threadId);
DWORD ResumeThread(HANDLE thread);
DWORD SuspendThread(HANDLE thread);
HANDLE GetCurrentThread();
DWORD GetCurrentThreadId();
// THREAD_PRIORITY_IDLE runs the thread under SCHED_IDLE (the highest nice value where that
// is refused); going back to normal may be refused by the system's limits.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD* code);
constexpr DWORD STILL_ACTIVE = 259;

// Waits for an event, semaphore, mutex or thread. Serves sent messages while waiting.
// Waiting for GetCurrentThread() would never end and fails (WAIT_FAILED).
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// The handle is invalid at once; the object is freed when no wait uses it any more. A
// running thread whose handle is closed runs on and cleans up after itself.
BOOL CloseHandle(HANDLE object);
void Sleep(DWORD milliseconds);
DWORD GetTickCount();

// Ends the calling process at once with the code (no clean-up); only the current process
// can be ended.
[[noreturn]] void TerminateProcess(HANDLE process, UINT code);
HANDLE GetCurrentProcess();
