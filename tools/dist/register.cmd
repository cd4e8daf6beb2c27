@echo off
rem register.cmd: registers the Korvex driver with Windows, so that programs find "Addin.Korvex".
rem   x86\Korvex.dll with the 32-bit regsvr32, and on 64-bit Windows also x64\Korvex.dll with the
rem   64-bit regsvr32: 32-bit and 64-bit programs then both find the driver.
rem   register.cmd /u (what unregister.cmd runs) removes the registration the same way.
rem Registration for all users writes to HKEY_CLASSES_ROOT and needs administrator rights: when
rem regsvr32 fails without them, the script asks for them (the Windows prompt) and runs once more.
rem When they are refused, cannot be asked for, or do not help, it registers for the current user
rem only (regsvr32 /n /i:user), which needs no rights. Every failure waits for a key.
setlocal
set "here=%~dp0"
set "undo="
set "elevated="
set "scope="
:options
if /i "%~1"=="/u" (set "undo=/u" & shift & goto options)
if /i "%~1"=="/elevated" (set "elevated=1" & shift & goto options)

call :all
if not defined refused goto finish
if defined elevated goto finish
rem System programs by their full path: a net.cmd or powershell.cmd that happens to lie in this
rem folder must never run in their place.
"%SystemRoot%\System32\net.exe" session >nul 2>&1
if errorlevel 1 goto ask_rights
rem Administrator rights are there already, and still the entries for all users were refused
rem (a policy, for example): the current user's are the way left.
echo The registration for all users was refused even with administrator rights.
echo Регистрация для всех пользователей не удалась даже с правами администратора.
goto for_this_user

:ask_rights

echo Administrator rights are needed. Windows will ask for them now.
echo Нужны права администратора. Сейчас Windows запросит их.
rem The script's path and options travel in variables, and cmd gets them back inside one more
rem pair of quotes (/s), so a folder such as "korvex-<version> (1)" keeps its quotes.
set "KORVEX_SCRIPT=%~f0"
set "KORVEX_OPTIONS=%undo% /elevated"
"%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -ExecutionPolicy Bypass -Command "$q = [char]34; try { $p = Start-Process -FilePath $env:ComSpec -ArgumentList ('/s /c ' + $q + $q + $env:KORVEX_SCRIPT + $q + ' ' + $env:KORVEX_OPTIONS + $q) -Verb RunAs -Wait -PassThru; exit $p.ExitCode } catch { exit 1223 }" 2>nul
set "code=%errorlevel%"
if "%code%"=="0" exit /b 0
rem The elevated run failed and has said why.
if "%code%"=="1" exit /b 1
if "%code%"=="1223" goto refused_rights
echo Administrator rights cannot be asked for here.
echo Запросить права администратора здесь нельзя.
goto for_this_user
:refused_rights
echo Administrator rights were refused.
echo В правах администратора отказано.
:for_this_user
set "scope=user"
if defined undo (
  echo Removing the registration for the current user only; the one for all users stays.
  echo Снимаю регистрацию только для текущего пользователя; регистрация для всех остаётся.
) else (
  echo Registering for the current user only.
  echo Регистрирую только для текущего пользователя.
)
call :all
rem Unregistering for this user cannot take away what all users still have.
if defined undo set "failed=1"

:finish
if defined failed (
  pause
  exit /b 1
)
if defined elevated pause
exit /b 0

rem :all registers (or unregisters) both architectures in the scope chosen.
:all
set "failed="
set "refused="
rem A 32-bit cmd on 64-bit Windows sees the 64-bit system folder as Sysnative.
set "native=%SystemRoot%\System32"
if defined PROCESSOR_ARCHITEW6432 set "native=%SystemRoot%\Sysnative"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" (
  call :one "%SystemRoot%\SysWOW64\regsvr32.exe" x86
  call :one "%native%\regsvr32.exe" x64
) else (
  call :one "%SystemRoot%\System32\regsvr32.exe" x86
)
exit /b

rem :one REGSVR32 FOLDER: registers (or with /u unregisters) FOLDER\Korvex.dll and says how it went.
:one
if not exist "%here%%~2\Korvex.dll" (
  echo NOT DONE: %~2\Korvex.dll is missing.
  echo НЕ СДЕЛАНО: нет файла %~2\Korvex.dll.
  set "failed=1"
  exit /b
)
set "how=/s %undo%"
if "%scope%"=="user" set "how=/s %undo% /n /i:user"
"%~1" %how% "%here%%~2\Korvex.dll"
set "code=%errorlevel%"
if "%code%"=="0" goto one_done
rem Messages stand outside parenthesised blocks, so their own parentheses need no escapes.
set "failed=1"
set "refused=1"
if defined undo goto one_not_removed
echo NOT DONE: %~2\Korvex.dll could not be registered (regsvr32 exit code %code%).
echo НЕ СДЕЛАНО: %~2\Korvex.dll зарегистрировать не удалось (код regsvr32 %code%).
exit /b
:one_not_removed
echo NOT DONE: %~2\Korvex.dll could not be unregistered (regsvr32 exit code %code%); nothing of it was removed.
echo НЕ СДЕЛАНО: регистрацию %~2\Korvex.dll снять не удалось (код regsvr32 %code%); ничего не удалено.
exit /b
:one_done
if "%scope%"=="user" goto one_done_user
if defined undo goto one_removed
echo Done: %~2\Korvex.dll is registered.
echo Готово: %~2\Korvex.dll зарегистрирован.
exit /b
:one_removed
echo Done: %~2\Korvex.dll is no longer registered.
echo Готово: регистрация %~2\Korvex.dll снята.
exit /b
:one_done_user
if defined undo goto one_removed_user
echo Done: %~2\Korvex.dll is registered for this user.
echo Готово: %~2\Korvex.dll зарегистрирован для этого пользователя.
exit /b
:one_removed_user
echo Done: %~2\Korvex.dll is no longer registered for this user.
echo Готово: регистрация %~2\Korvex.dll для этого пользователя снята.
exit /b
