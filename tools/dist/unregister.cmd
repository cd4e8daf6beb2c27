@echo off
rem unregister.cmd: removes the Korvex driver's registration (both architectures), as
rem register.cmd /u does. Needs administrator rights; asks for them when they are missing.
call "%~dp0register.cmd" /u %*
