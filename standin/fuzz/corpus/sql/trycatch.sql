DECLARE @m sysname, @sql nvarchar(max)
SET @m = CONVERT(sysname, DATABASEPROPERTYEX(N'shop', 'Recovery'))
IF @m <> 'SIMPLE' ALTER DATABASE [shop] SET RECOVERY SIMPLE
CHECKPOINT
BEGIN TRY
    DBCC SHRINKFILE ([shop_log])
END TRY
BEGIN CATCH
    SET @sql = N'ALTER DATABASE ' + QUOTENAME(N'shop') + N' SET RECOVERY ' + @m
    IF @m <> 'SIMPLE' EXEC (@sql);
    DECLARE @e nvarchar(2048) = ERROR_MESSAGE(), @s int = ERROR_SEVERITY()
    RAISERROR(@e, @s, 1) WITH NOWAIT;
    THROW
END CATCH
IF @m <> 'SIMPLE' EXEC sp_executesql @sql
SELECT @m = name FROM master..sysdatabases WHERE dbid = 1 PRINT 'x' + CAST(1 AS nvarchar(5))
