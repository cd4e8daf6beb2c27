@echo off
rem register.cmd: registers the Korvex driver with Windows, so that programs find "Addin.Korvex".
rem   x86\Korvex.dll with the 32-bit regsvr32, and on 64-bit Windows also x64\Korvex.dll with the
rem   64-bit regsvr32: 32-bit and 64-bit programs then both find the driver.
rem   register.cmd /u (what unregister.cmd runs) removes the registration the same way.
rem Registration writes to HKEY_CLASSES_ROOT and needs administrator rights: when regsvr32 fails
rem without them, the script asks for them (the Windows prompt) and runs once more.
setlocal
set "here=%~dp0"
set "undo="
set "elevated="
:options
if /i "%~1"=="/u" (set "undo=/u" & shift & goto options)
if /i "%~1"=="/elevated" (set "elevated=1" & shift & goto options)

rem A 32-bit cmd on 64-bit Windows sees the 64-bit system folder as Sysnative.
set "native=%SystemRoot%\System32"
if defined PROCESSOR_ARCHITEW6432 set "native=%SystemRoot%\Sysnative"
set "failed="
set "refused="
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" (
  call :one "%SystemRoot%\SysWOW64\regsvr32.exe" x86
  call :one "%native%\regsvr32.exe" x64
) else (
  call :one "%SystemRoot%\System32\regsvr32.exe" x86
)

if not defined refused goto finish
if defined elevated goto finish
net session >nul 2>&1
if not errorlevel 1 goto finish
echo Administrator rights are needed. Windows will ask for them now.
echo Нужны права администратора. Сейчас Windows запросит их.
powershell -NoProfile -ExecutionPolicy Bypass -Command "exit (Start-Process -FilePath '%~f0' -ArgumentList '%undo% /elevated' -Verb RunAs -Wait -PassThru).ExitCode"
exit /b %errorlevel%

:finish
if defined elevated pause
if defined failed exit /b 1
exit /b 0

rem :one REGSVR32 FOLDER: registers (or with /u unregisters) FOLDER\Korvex.dll and says how it went.
:one
if not exist "%here%%~2\Korvex.dll" (
  echo NOT DONE: %~2\Korvex.dll is missing.
  echo НЕ СДЕЛАНО: нет файла %~2\Korvex.dll.
  set "failed=1"
  exit /b
)
"%~1" /s %undo% "%here%%~2\Korvex.dll"
set "code=%errorlevel%"
if "%code%"=="0" goto one_done
if defined undo (
  echo NOT DONE: %~2\Korvex.dll could not be unregistered ^(regsvr32 exit code %code%^).
  echo НЕ СДЕЛАНО: регистрацию %~2\Korvex.dll снять не удалось ^(код regsvr32 %code%^).
) else (
  echo NOT DONE: %~2\Korvex.dll could not be registered ^(regsvr32 exit code %code%^).
  echo НЕ СДЕЛАНО: %~2\Korvex.dll зарегистрировать не удалось ^(код regsvr32 %code%^).
)
set "failed=1"
set "refused=1"
exit /b
:one_done
if defined undo (
  echo Done: %~2\Korvex.dll is no longer registered.
  echo Готово: регистрация %~2\Korvex.dll снята.
) else (
  echo Done: %~2\Korvex.dll is registered.
  echo Готово: %~2\Korvex.dll зарегистрирован.
)
exit /b
